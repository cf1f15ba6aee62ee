// The window's controls as designed: place, size, colours, texts, pictures.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "platform/controls.h"

namespace tolvane::layout {

// Places and sizes are in pixels; a few fall on a third of a pixel, written
// as n / 3.f.
constexpr float kToolbarWidth = 724 / 3.f;
constexpr float kStylePanelWidth = kToolbarWidth;
// The colour panel's left while the size chooser shows beside it.
constexpr float kColorPanelLeft = 236 / 3.f;

// Every control of the window, in design order.
std::vector<platform::ControlState> designedControls();

// The sixteen palette colours, Swatch(0) to Swatch(15), 0x00BBGGRR.
extern const std::array<ColorRef, 16> kPalette;
constexpr ColorRef kStartColor = 0x000000FF;      // the colour at start, shown by Swatch(16): red
constexpr float kStartTextSize = 11;              // the text size at start, shown by SizeBox
constexpr ColorRef kFrameColor = 0x00EC7A00;      // selection frame, handles, labels' text
constexpr ColorRef kPanelColor = 0x00FFEEDE;
constexpr ColorRef kPanelFrameColor = 0x00FF8080;

// Font sizes offered by SizeList.
extern const std::array<std::string_view, 9> kFontSizes;

constexpr std::string_view kLabelFace = "宋体";
constexpr float kLabelPoints = 10.5f;

}  // namespace tolvane::layout
