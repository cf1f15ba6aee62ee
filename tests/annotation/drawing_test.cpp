#include <gtest/gtest.h>

#include "annotation/shapes.h"
#include "fake/fake_platform.h"

namespace tolvane {
namespace {

using fake::Rig;
using platform::Ctl;

constexpr ColorRef kRed = 0x000000FF;

// A white canvas to draw a primitive on.
struct Canvas {
  fake::FakeText text;
  picture::RasterSurface dc{300, 300, &text, nullptr};
  Canvas() { dc.setPicture(Image(300, 300, 0xFFFFFFFFu)); }
  int redPixels() const {
    int n = 0;
    const Image img = dc.image();
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) n += dc.getPixel(x, y) == kRed;
    return n;
  }
};

TEST(Arrow, ShaftAndBothBarbsEndAtTheTip) {
  Canvas c;
  annotation::drawArrow(c.dc, 100, 100, 200, 100, 10, kRed);
  // The shaft, and barbs 10 long at 45 degrees either side back from the tip.
  for (const auto& [x, y] : {std::pair{100, 100}, {150, 100}, {200, 100}, {190, 105}, {190, 95}})
    EXPECT_EQ(c.dc.getPixel(x, y), kRed) << x << "," << y;
  for (const auto& [x, y] : {std::pair{99, 100}, {201, 100}, {189, 106}, {189, 94}, {150, 101}})
    EXPECT_NE(c.dc.getPixel(x, y), kRed) << x << "," << y;
}

TEST(Arrow, ShortArrowsKeepFullBarbsAndZeroLengthDrawsNothing) {
  Canvas c;
  annotation::drawArrow(c.dc, 5, 5, 5, 5, 10, kRed);
  EXPECT_EQ(c.redPixels(), 0);
  annotation::drawArrow(c.dc, 10, 10, 13, 14, 10, kRed);  // barbs longer than the shaft reach past the tail
  EXPECT_EQ(c.dc.getPixel(3, 9), kRed);   // one barb's far end: 13 - 10, 14 - 5
  EXPECT_EQ(c.dc.getPixel(11, 3), kRed);  // the other's
}

TEST(Ellipse, RoundsItsBoxHalfToEvenAndKeepsItsCornersAsGiven) {
  Canvas rounded, exact;
  annotation::drawEllipse(rounded.dc, 10.5f, 11.5f, 2.5f, 3.5f, kRed);  // 10, 12, 2, 4
  exact.dc.ellipse(2, 4, 10, 12, kRed);
  EXPECT_GT(exact.redPixels(), 0);
  EXPECT_EQ(rounded.dc.image(), exact.dc.image());
}

struct Drawing : ::testing::Test {
  Rig rig{400, 300, Image(400, 300, 0xFFFFFFFFu)};
  void SetUp() override {
    ASSERT_TRUE(rig.start());
    rig.drag(100, 100, 200, 180);  // selection 100,100 100x80
  }
  ColorRef px(int x, int y) { return rig.surface.getPixel(x, y); }
};

TEST_F(Drawing, RectangleLandsInTheCurrentColourWithNoFill) {
  rig.clickTool(7);
  rig.form.mouseUp({Ctl::Swatch, 13}, {1, 0, 0, 0});  // blue
  rig.drag(120, 120, 160, 150);
  EXPECT_EQ(px(120, 120), rgb(0, 0, 255));
  EXPECT_EQ(px(160, 150), rgb(0, 0, 255));
  EXPECT_EQ(px(140, 135), rgb(255, 255, 255));
  EXPECT_EQ(rig.form.history().index(), 2);
  EXPECT_TRUE(rig.surface.persistent());
  EXPECT_EQ(rig.form.history().picture(2), rig.surface.image());
  // The stroke is over: moving on draws nothing more.
  const Image done = rig.surface.image();
  rig.move(180, 170, 0);
  EXPECT_EQ(rig.surface.compose(rig.surface.rect()), done);
}

TEST_F(Drawing, PreviewLeavesNothingOnTheCanvasAndShowsOneShapeAtATime) {
  rig.clickTool(6);
  rig.down(120, 120);
  EXPECT_FALSE(rig.surface.persistent());
  const Image canvas = rig.surface.image();
  rig.move(180, 160);
  rig.move(150, 140);
  EXPECT_EQ(rig.surface.image(), canvas);
  // Only the latest ellipse is on screen: the first one's far edge is gone.
  EXPECT_EQ(px(179, 140), colorRefFromArgb(canvas.pixel(179, 140)));
  EXPECT_EQ(px(149, 130), kRed);
  rig.up(150, 140);
  EXPECT_EQ(px(149, 130), kRed);
  EXPECT_NE(rig.surface.image(), canvas);
}

TEST_F(Drawing, StrokesStartStrictlyInsideAndEndClampedToTheEdges) {
  rig.clickTool(7);
  const Image clean = rig.surface.image();
  rig.down(100, 150);  // on the outline: no stroke
  rig.move(150, 160);
  EXPECT_EQ(rig.surface.compose(rig.surface.rect()), clean);
  rig.up(150, 160);
  EXPECT_EQ(rig.form.history().index(), 1);
  rig.down(150, 130);
  rig.move(500, 500);
  rig.up(500, 500);  // the far corner stops on the region's corner, 200,180
  for (const auto& [x, y] : {std::pair{150, 130}, {200, 130}, {200, 180}, {150, 180}, {200, 155}})
    EXPECT_EQ(px(x, y), kRed) << x << "," << y;
  EXPECT_NE(px(201, 181), kRed);
  rig.down(150, 130);
  rig.up(-50, 20);  // to the top-left corner, 100,100
  for (const auto& [x, y] : {std::pair{100, 100}, {125, 100}, {100, 115}}) EXPECT_EQ(px(x, y), kRed) << x << "," << y;
  EXPECT_NE(px(99, 99), kRed);
}

TEST_F(Drawing, ReleaseCommitsThenPushesThenPlacesTheToolbar) {
  rig.clickTool(4);
  rig.down(120, 120);
  rig.up(170, 150);
  EXPECT_TRUE(rig.surface.persistent());
  EXPECT_EQ(rig.form.history().index(), 2);
  EXPECT_EQ(rig.form.history().picture(2), rig.surface.image());  // the arrow is in the step
  for (const auto& [x, y] : {std::pair{120, 120}, {145, 135}, {170, 150}})
    EXPECT_EQ(px(x, y), kRed) << x << "," << y;
  // The toolbar is wider than the region here: right-aligned it would start
  // left of the screen, so it starts at 0, 4 below the region.
  const auto& bar = rig.ctl(Ctl::Toolbar);
  EXPECT_TRUE(bar.visible());
  EXPECT_EQ((std::array{bar.left(), bar.top()}), (std::array{0.f, 184.f}));
}

TEST_F(Drawing, RightButtonStrokeIsRecordedBeforeTheProgramEnds) {
  rig.clickTool(7);
  rig.down(120, 120, 2);
  rig.move(150, 150, 2);
  rig.up(150, 150, 2);
  EXPECT_EQ(rig.form.history().index(), 2);
  EXPECT_TRUE(rig.app.closed);  // nothing was cancelled before
}

TEST_F(Drawing, TextToolOpensABoxThenCommitsOnTheNextRelease) {
  rig.clickTool(5);
  rig.down(130, 120);
  rig.up(130, 120);
  auto& box = rig.ctl(Ctl::NoteField);
  ASSERT_TRUE(box.visible());
  EXPECT_EQ((std::array{box.left(), box.top(), box.width()}), (std::array{130.f, 120.f, 25.f}));
  EXPECT_EQ(box.foreColor(), kRed);
  EXPECT_EQ(box.fontSize(), 11.f);
  const Image before = rig.surface.image();
  rig.move(150, 150, 0);  // moving draws nothing while the box is open
  EXPECT_EQ(rig.surface.compose(rig.surface.rect()), before);

  rig.form.textChanged({Ctl::NoteField, -1}, "中文ab");
  const float grown = box.width();
  EXPECT_GT(grown, 25.f);
  rig.form.textChanged({Ctl::NoteField, -1}, "中");
  EXPECT_EQ(box.width(), grown);  // never shrinks
  rig.form.textChanged({Ctl::NoteField, -1}, "中文ab");

  rig.down(10, 10);  // outside: no stroke, but the release still commits
  rig.up(10, 10);
  EXPECT_FALSE(box.visible());
  EXPECT_EQ(box.text(), "");
  EXPECT_EQ(rig.form.history().index(), 2);
  // All four glyphs at 11 points (an em is 14.667 pixels), anchored at the
  // box's corner, and nothing after them.
  EXPECT_EQ(px(133, 124), kRed);
  EXPECT_EQ(px(150, 124), kRed);
  EXPECT_EQ(px(162, 124), kRed);
  EXPECT_EQ(px(170, 124), kRed);
  EXPECT_EQ(px(176, 124), rgb(255, 255, 255));
  EXPECT_EQ(px(129, 124), rgb(255, 255, 255));
}

TEST_F(Drawing, AnEmptyTextBoxStillRecordsAStep) {
  rig.clickTool(5);
  rig.down(130, 120);
  rig.up(130, 120);
  rig.down(140, 130);
  rig.up(140, 130);
  EXPECT_EQ(rig.form.history().index(), 2);
  EXPECT_FALSE(rig.ctl(Ctl::NoteField).visible());
}

}  // namespace
}  // namespace tolvane
