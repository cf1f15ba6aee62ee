// One picture script for every view of the controls: controls placed and
// shown, then the colour each view must show at given pixels of a black
// canvas, and which control a press at given points reaches. The Qt view's
// test and the Windows view's test run the same table, so a view that
// paints, stacks, rounds or hits differently fails the same case.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "layout/controls.h"

namespace tolvane::control_script {

using platform::Ctl;
using platform::CtlRef;

struct Pixel {
  int x, y;           // in the window
  std::uint32_t rgb;  // 0xRRGGBB
};

struct Press {
  int x, y;
  CtlRef reaches;  // Ctl::Window: no control takes it
};

struct Case {
  const char* name;
  std::function<void(layout::Controls&)> setUp;
  std::vector<Pixel> pixels;
  std::vector<Press> presses;
};

inline std::string nameOf(CtlRef r) {
  return std::to_string(static_cast<int>(r.ctl)) + "(" + std::to_string(r.index) + ")";
}

// The canvas the controls lie on, and the designed colours the cases expect.
inline constexpr std::uint32_t kCanvas = 0x000000;
inline constexpr std::uint32_t kFrame = 0x007AEC, kPanel = 0xDEEEFF, kDivider = 0xC0C0FF;
inline constexpr std::uint32_t kHoverEdge = 0x248FFB, kHoverFill = 0x94D9FF;
inline constexpr std::uint32_t kWindowBack = 0xFFFFFF, kButtonFace = 0xF0F0F0;

// Where controls lie and what they paint.
inline std::vector<Case> placeAndPaintCases() {
  return {
      // Swatch 3 (192, 192, 0) at (169, 14) to (182, 27): a chosen swatch has
      // a sunken edge two pixels deep, dark above and left, light below and right.
      {"AChosenSwatchHasASunkenEdge",
       [](layout::Controls& c) {
         c(Ctl::StylePanel).move(10, 10);
         c(Ctl::StylePanel).show();
         c(Ctl::Swatch, 3).setBorderStyle(1);
       },
       {{175, 14, 0xA0A0A0}, {175, 15, 0x404040}, {169, 20, 0xA0A0A0}, {170, 20, 0x404040},
        {175, 26, 0xFFFFFF}, {175, 25, 0xE3E3E3}, {181, 20, 0xFFFFFF}, {180, 20, 0xE3E3E3},
        {175, 20, 0xC0C000}, {168, 20, kPanel}, {195, 20, 0x008000}},
       {{175, 20, {Ctl::Swatch, 3}}}},
      // The selection frame lies on the region's edge pixels, rounded half to even.
      {"TheFrameLiesOnTheRoundedEdges",
       [](layout::Controls& c) {
         c(Ctl::SelectionFrame).move(10.5f, 200.5f, 100.5f, 50);
         c(Ctl::SelectionFrame).show();
       },
       {{10, 200, kFrame}, {110, 225, kFrame}, {111, 225, kCanvas}, {60, 249, kFrame}, {60, 250, kCanvas},
        {60, 225, kCanvas}, {9, 225, kCanvas}},
       {{10, 225, {}}, {60, 225, {}}}},
      // A control inside others is rounded in its parent, then placed: the
      // style panel at 0.8 puts the colour panel (at 78.67 in it) at 80, its
      // first swatch (at 32 in that) at 112.
      {"AControlIsRoundedInItsParent",
       [](layout::Controls& c) {
         c(Ctl::StylePanel).move(0.8f, 50);
         c(Ctl::StylePanel).show();
       },
       {{111, 60, kPanel}, {112, 60, 0x000000}, {81, 60, 0xFF0000}, {80, 60, kPanel}},
       {{111, 60, {Ctl::ColorPanel, -1}}, {112, 60, {Ctl::Swatch, 0}}}},
      // The toolbar at (10, 10): its divider runs from (115, 13) to (115, 31),
      // both ends drawn; the hover frame of button 7 lies behind the button.
      {"LinesAndShapesOnTheToolbar",
       [](layout::Controls& c) {
         c(Ctl::Toolbar).move(10, 10);
         c(Ctl::Toolbar).show();
         c(Ctl::ButtonHover, 7).show();
       },
       {{115, 13, kDivider}, {115, 22, kDivider}, {115, 31, kDivider}, {115, 12, kPanel}, {115, 32, kPanel},
        {15, 20, kHoverEdge}, {16, 20, kHoverFill}, {34, 20, kHoverEdge}, {35, 20, kPanel}, {20, 13, kHoverEdge},
        {20, 14, kHoverFill}},
       {{115, 20, {Ctl::Toolbar, -1}}, {15, 20, {Ctl::Toolbar, -1}}, {16, 20, {Ctl::Toolbar, -1}},
        {20, 20, {Ctl::ToolButton, 7}}}},
  };
}

// Which control lies in front of which.
inline std::vector<Case> stackingCases() {
  return {
      // Picture boxes lie in front of what was designed after them: the style
      // panel's current colour over the toolbar.
      {"TheStylePanelLiesInFrontOfTheToolbar",
       [](layout::Controls& c) {
         c(Ctl::Toolbar).move(10, 10);
         c(Ctl::Toolbar).show();
         c(Ctl::StylePanel).move(10, 20);
         c(Ctl::StylePanel).show();
       },
       {{100, 30, 0xFF0000}, {100, 12, kPanel}},
       {{100, 30, {Ctl::Swatch, 16}}, {100, 12, {Ctl::Toolbar, -1}}}},
      // Labels and the frame in design order: the colour label (before the
      // frame) in front of it, the size label (after it) behind it; the
      // labels' backs in the system's window and button face colours.
      {"LabelsStackAroundTheFrameInDesignOrder",
       [](layout::Controls& c) {
         c(Ctl::SelectionFrame).move(50, 100, 100, 60);
         c(Ctl::SelectionFrame).show();
         c(Ctl::ColorLabel).move(60, 90);
         c(Ctl::ColorLabel).show();
         c(Ctl::SizeLabel).move(60, 150);
         c(Ctl::SizeLabel).show();
       },
       {{140, 100, kWindowBack}, {140, 95, kWindowBack}, {50, 100, kFrame}, {140, 159, kFrame},
        {140, 155, kButtonFace}, {200, 160, kButtonFace}, {100, 130, kCanvas}},
       {{140, 100, {Ctl::ColorLabel, -1}}, {140, 159, {Ctl::SizeLabel, -1}}, {50, 130, {}}}},
  };
}

inline const std::vector<Case>& cases() {
  static const std::vector<Case> all = [] {
    std::vector<Case> v = placeAndPaintCases();
    for (Case& c : stackingCases()) v.push_back(std::move(c));
    return v;
  }();
  return all;
}

inline std::string hex(std::uint32_t rgb) {
  char s[8];
  std::snprintf(s, sizeof s, "%06X", static_cast<unsigned>(rgb & 0xFFFFFFu));
  return s;
}

// A view's outcome checked against the case: `pixelAt(x, y)` gives what the
// view shows there as 0xRRGGBB, `pressAt(x, y)` the control a press reaches.
template <class PixelAt, class PressAt>
void expectAsScripted(const Case& c, PixelAt pixelAt, PressAt pressAt) {
  for (const Pixel& p : c.pixels) EXPECT_EQ(hex(pixelAt(p.x, p.y)), hex(p.rgb)) << "at " << p.x << "," << p.y;
  for (const Press& p : c.presses)
    EXPECT_EQ(nameOf(pressAt(p.x, p.y)), nameOf(p.reaches)) << "at " << p.x << "," << p.y;
}

}  // namespace tolvane::control_script
