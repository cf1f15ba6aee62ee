// The rules both control views follow, on their own: what they give for the
// designed controls and for the edge cases no design exercises yet.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "layout/design.h"
#include "platform/control_rules.h"

namespace tolvane::platform {
namespace {

// Every colour the design gives a control shows as a colour of its own: a
// system colour added to the design without a place in the table would
// show as the fallback grey on every view.
TEST(ControlRules, EveryDesignedSystemColourIsInTheTable) {
  const Argb fallback = shownColor(static_cast<ColorRef>(0x800000FFu));
  int seen = 0;
  for (const ControlState& s : layout::designedControls())
    for (ColorRef c : {s.backColor, s.foreColor, s.borderColor}) {
      if (!(static_cast<std::uint32_t>(c) & 0x80000000u)) continue;
      ++seen;
      EXPECT_NE(shownColor(c), fallback) << s.name << " " << std::hex << c;
    }
  EXPECT_GE(seen, 3);
  EXPECT_EQ(shownColor(rgb(1, 2, 3)), 0xFF010203u);  // plain colours as they are
}

// The window's own controls front to back: the windowed ones first, each
// group in design order, whatever order they come in.
TEST(ControlRules, StacksTheWindowsControlsAsDesigned) {
  std::vector<std::pair<StackPlace, std::string>> onWindow;
  const auto all = layout::designedControls();
  for (int i = static_cast<int>(all.size()) - 1; i >= 0; --i)
    if (all[i].parent.ctl == Ctl::Window) onWindow.push_back({{all[i].kind, i}, all[i].name});
  std::sort(onWindow.begin(), onWindow.end(), [](const auto& a, const auto& b) { return liesInFront(a.first, b.first); });
  std::vector<std::string> names;
  for (const auto& [place, name] : onWindow) names.push_back(name);
  const std::vector<std::string> expected = {
      "NoteField", "StylePanel", "Toolbar",        "ColorLabel", "Handle(7)", "Handle(6)", "Handle(5)",
      "Handle(4)", "Handle(3)",  "Handle(2)",      "Handle(1)",  "Handle(0)", "SelectionFrame", "SizeLabel"};
  EXPECT_EQ(names, expected);
  // A windowed control lies in front of a lightweight one designed before it.
  EXPECT_TRUE(liesInFront({Kind::PictureBox, 9}, {Kind::Label, 1}));
  EXPECT_FALSE(liesInFront({Kind::Label, 1}, {Kind::PictureBox, 9}));
  EXPECT_FALSE(liesInFront({Kind::Image, 3}, {Kind::Image, 3}));  // a strict order, as sorting needs
}

TEST(ControlRules, PlacesInWholePixelsRoundingHalvesToEven) {
  struct Row {
    Kind kind;
    float left, top, width, height, x2, y2;
    IRect expected;
  };
  const Row rows[] = {
      {Kind::Shape, 10.5f, 20.5f, 100.5f, 50, 0, 0, {10, 20, 111, 70}},
      {Kind::Shape, 11.5f, 0, 100, 1.5f, 0, 0, {12, 0, 112, 2}},
      {Kind::Image, 78.667f, 4, 13.333f, 13.333f, 0, 0, {79, 4, 92, 17}},
      {Kind::Label, 5, 5, -3, 2, 0, 0, {5, 5, 5, 7}},                // a negative size is empty
      {Kind::Line, 105.333f, 21.333f, 0, 0, 105.333f, 2.667f, {105, 3, 106, 22}},  // both ends, drawn upwards
  };
  for (const Row& r : rows) {
    ControlState s;
    s.kind = r.kind;
    s.left = r.left, s.top = r.top, s.width = r.width, s.height = r.height, s.x2 = r.x2, s.y2 = r.y2;
    const IRect got = placeInContainer(s);
    EXPECT_EQ(got, r.expected) << r.left << "," << r.top << ": " << got.left << "," << got.top << " " << got.right
                               << "," << got.bottom;
  }
}

// Whatever its kind, size and border, a control paints only inside its box,
// and the edge of a chosen swatch lies on its outermost two pixels.
TEST(ControlRules, PaintsOnlyInsideTheBox) {
  for (Kind kind : {Kind::PictureBox, Kind::Image, Kind::Shape, Kind::Label, Kind::TextBox, Kind::ComboBox})
    for (int size : {0, 1, 3, 4, 13}) {
      ControlState s;
      s.kind = kind;
      s.width = s.height = static_cast<float>(size);
      s.hasBack = true;
      s.borderStyle = 1;
      s.caption = "宽X高";
      s.picture = PictureId::Handle;
      const IRect own{0, 0, size, size};
      for (const PaintStep& step : paintSteps(s, {30, 40, 30 + size, 40 + size})) {
        EXPECT_FALSE(step.box.empty()) << static_cast<int>(kind) << " " << size;
        EXPECT_EQ(step.box.intersected(own), step.box) << static_cast<int>(kind) << " " << size;
      }
      if (kind == Kind::TextBox || kind == Kind::ComboBox) {
        EXPECT_TRUE(paintSteps(s, own).empty());
      }
    }
  ControlState line;
  line.kind = Kind::Line;
  line.left = 40, line.top = 9, line.x2 = 30, line.y2 = 9;
  const auto steps = paintSteps(line, placeInContainer(line));
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].from.x, 10);  // its ends in its own box, which starts at the left one
  EXPECT_EQ(steps[0].to.x, 0);
  EXPECT_EQ(steps[0].to.y, 0);
}

// The pixels a list of rectangles covers, on a 40x30 board.
Image covered(const std::vector<IRect>& rects, int dx = 0, int dy = 0) {
  Image board(40, 30, 0);
  for (const IRect& r : rects) board.fill({r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}, 1);
  return board;
}

// A shape's border in device pixels: at scale 1 exactly the pixels its
// outline paints at its place; at larger scales as thick as a logical pixel,
// on the same edge pixels, never beyond the box.
TEST(ControlRules, ABorderLiesOnTheBoxsEdgePixels) {
  struct Row {
    const char* what;
    float left, top, width, height;
    double scale;
    std::vector<IRect> expected;  // the pixels covered, as rectangles
  };
  const Row rows[] = {
      {"plain", 3, 4, 10, 6, 1.0, {{3, 4, 13, 5}, {3, 9, 13, 10}, {3, 4, 4, 10}, {12, 4, 13, 10}}},
      {"double", 3, 4, 10, 6, 2.0, {{3, 4, 13, 6}, {3, 8, 13, 10}, {3, 4, 5, 10}, {11, 4, 13, 10}}},
      {"one and a half rounds up", 1, 1, 8, 8, 1.5, {{1, 1, 9, 3}, {1, 7, 9, 9}, {1, 1, 3, 9}, {7, 1, 9, 9}}},
      {"one row high at double", 2, 2, 9, 1, 2.0, {{2, 2, 11, 3}}},
      {"three wide at double: all of it", 5, 5, 3, 7, 2.0, {{5, 5, 8, 12}}},
      {"empty", 5, 5, 0, 7, 2.0, {}},
  };
  for (const Row& r : rows) {
    ControlState s;
    s.kind = Kind::Shape;
    s.left = r.left, s.top = r.top, s.width = r.width, s.height = r.height;
    EXPECT_TRUE(covered(deviceBorder(s, r.scale)) == covered(r.expected)) << r.what;
  }
  // At scale 1 the same pixels as the shape's own painting at its place.
  for (const auto& [w, h] : {std::pair{10, 6}, std::pair{1, 5}, std::pair{2, 2}, std::pair{7, 1}}) {
    ControlState s;
    s.kind = Kind::Shape;
    s.left = 6, s.top = 7, s.width = static_cast<float>(w), s.height = static_cast<float>(h);
    std::vector<IRect> painted;
    for (const PaintStep& step : paintSteps(s, placeInContainer(s))) painted.push_back(step.box);
    EXPECT_TRUE(covered(deviceBorder(s, 1.0)) == covered(painted, 6, 7)) << w << "x" << h;
  }
}

// Only the window's back-less shapes are left to the window to draw.
TEST(ControlRules, OnlyTheRegionsFrameIsABorderOnTheWindow) {
  std::vector<std::string> names;
  for (const ControlState& s : layout::designedControls())
    if (onlyBorderOnWindow(s)) names.push_back(s.name);
  EXPECT_EQ(names, std::vector<std::string>{"SelectionFrame"});
}

struct Told : EventSink {
  std::vector<std::string> calls;
  void mouseDown(CtlRef, const Mouse&) override {}
  void mouseMove(CtlRef, const Mouse&) override {}
  void mouseUp(CtlRef, const Mouse&) override {}
  void dblClick(CtlRef) override {}
  void click(CtlRef t) override { calls.push_back("click " + std::to_string(static_cast<int>(t.ctl))); }
  void textChanged(CtlRef, const std::string& utf8) override { calls.push_back("text " + utf8); }
  bool keyDown(CtlRef, const Key&) override { return false; }
};

TEST(ControlRules, AChosenItemIsItsTextThenAClick) {
  Told sink;
  int sends = 0;
  sendItemChosen([&](const std::function<void(EventSink&)>& f) { ++sends, f(sink); }, {Ctl::SizeList, -1}, "14");
  const std::string list = std::to_string(static_cast<int>(Ctl::SizeList));
  EXPECT_EQ(sink.calls, (std::vector<std::string>{"text 14", "click " + list}));
  EXPECT_EQ(sends, 2);  // one event each, so a failing first still lets the click through
}

}  // namespace
}  // namespace tolvane::platform
