#include <gtest/gtest.h>

#include "annotation/shapes.h"
#include "fake/fake_platform.h"

namespace tolvane {
namespace {

using fake::Log;
using fake::Rig;
using platform::Ctl;

constexpr ColorRef kRed = 0x000000FF;

TEST(Arrow, BarbsFollowTheFixedFormula) {
  Log log;
  fake::FakeText text;
  fake::RecordingSurface dc(300, 300, log, &text, nullptr);
  annotation::Arrow(dc, 100, 100, 200, 100, 10, kRed);
  EXPECT_EQ(log, (Log{"Line 190,105-200,100 000000FF", "Line 190,95-200,100 000000FF",
                      "Line 100,100-200,100 000000FF"}));
  log.clear();
  annotation::Arrow(dc, 0, 0, 3, 4, 10, kRed);  // barbs longer than the shaft reach past the tail
  EXPECT_EQ(log, (Log{"Line -7,-1-3,4 000000FF", "Line 1,-7-3,4 000000FF", "Line 0,0-3,4 000000FF"}));
  log.clear();
  annotation::Arrow(dc, 5, 5, 5, 5, 10, kRed);
  EXPECT_TRUE(log.empty());
}

TEST(Ellipse, RoundsItsBoxHalfToEvenAndKeepsItsCornersAsGiven) {
  Log log;
  fake::FakeText text;
  fake::RecordingSurface dc(100, 100, log, &text, nullptr);
  annotation::drawEllipse(dc, 10.5f, 11.5f, 2.5f, 3.5f, kRed);
  EXPECT_EQ(log, (Log{"Ellipse 10,12,2,4 000000FF"}));
}

struct Drawing : ::testing::Test {
  Rig rig{400, 300, Image(400, 300, 0xFFFFFFFFu)};
  void SetUp() override {
    ASSERT_TRUE(rig.form.start());
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
  EXPECT_FALSE(rig.form.state().penDown);
  EXPECT_TRUE(rig.surface.persistent());
  EXPECT_EQ(rig.form.history().picture(2), rig.surface.image());
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
  rig.down(100, 150);  // on the outline: no stroke
  EXPECT_FALSE(rig.form.state().penDown);
  rig.up(100, 150);
  EXPECT_EQ(rig.form.history().index(), 1);
  rig.down(150, 130);
  const auto from = rig.log.size();
  rig.move(500, 500);
  rig.up(500, 500);
  EXPECT_EQ(rig.logSince(from, {"Box"}), (Log{"Box 150,130-200,180 000000FF", "Box 150,130-200,180 000000FF"}));
  rig.down(150, 130);
  rig.up(-50, 20);
  EXPECT_EQ(rig.logSince(from, {"Box"}).back(), "Box 150,130-100,100 000000FF");
}

TEST_F(Drawing, ReleaseCommitsThenPushesThenPlacesTheToolbar) {
  rig.clickTool(4);
  rig.down(120, 120);
  const auto from = rig.log.size();
  rig.up(170, 150);
  const Log log = rig.logSince(from, {"Persistent", "Line", "Toolbar."});
  // The toolbar is wider than the selection here: placed right-aligned, then moved to Left 0.
  EXPECT_EQ(log, (Log{"Persistent on", "Line 158.85258,149.1425-170,150 000000FF",
                      "Line 163.99754,140.56758-170,150 000000FF", "Line 120,120-170,150 000000FF",
                      "Toolbar.Geometry=-41.33333,184,241.33333,26", "Toolbar.Geometry=0,184,241.33333,26",
                      "Toolbar.Visible=1"}));
}

TEST_F(Drawing, RightButtonStrokeIsRecordedBeforeTheProgramEnds) {
  rig.clickTool(7);
  rig.down(120, 120, 2);
  rig.move(150, 150, 2);
  rig.up(150, 150, 2);
  EXPECT_EQ(rig.form.history().index(), 2);
  EXPECT_TRUE(rig.app.unloaded);  // nothing was cancelled before
}

TEST_F(Drawing, TextToolOpensABoxThenCommitsOnTheNextRelease) {
  rig.clickTool(5);
  rig.down(130, 120);
  rig.up(130, 120);
  auto& box = rig.ctl(Ctl::TextEditor);
  ASSERT_TRUE(box.visible());
  EXPECT_EQ((std::array{box.left(), box.top(), box.width()}), (std::array{130.f, 120.f, 25.f}));
  EXPECT_EQ(box.foreColor(), kRed);
  EXPECT_EQ(box.fontSize(), 11.f);
  EXPECT_TRUE(rig.form.state().penDown);
  const Image before = rig.surface.image();
  rig.move(150, 150, 0);  // moving draws nothing while the box is open
  EXPECT_EQ(rig.surface.compose(rig.surface.rect()), before);

  rig.form.textChanged({Ctl::TextEditor, -1}, "中文ab");
  const float grown = box.width();
  EXPECT_GT(grown, 25.f);
  rig.form.textChanged({Ctl::TextEditor, -1}, "中");
  EXPECT_EQ(box.width(), grown);  // never shrinks
  rig.form.textChanged({Ctl::TextEditor, -1}, "中文ab");

  const auto from = rig.log.size();
  rig.down(10, 10);  // outside: no stroke, but the release still commits
  rig.up(10, 10);
  EXPECT_EQ(rig.logSince(from, {"SetTextColor", "TextOut", "FontSize"}),
            (Log{"FontSize 11", "SetTextColor 000000FF", "TextOut 130,120 \"中文ab\" 8"}));
  EXPECT_FALSE(box.visible());
  EXPECT_EQ(box.text(), "");
  EXPECT_EQ(rig.form.history().index(), 2);
  EXPECT_EQ(px(133, 124), kRed);  // the first glyph, anchored at the box's corner
}

TEST_F(Drawing, AnEmptyTextBoxStillRecordsAStep) {
  rig.clickTool(5);
  rig.down(130, 120);
  rig.up(130, 120);
  rig.down(140, 130);
  rig.up(140, 130);
  EXPECT_EQ(rig.form.history().index(), 2);
  EXPECT_FALSE(rig.ctl(Ctl::TextEditor).visible());
}

}  // namespace
}  // namespace tolvane
