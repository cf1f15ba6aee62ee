#include <gtest/gtest.h>

#include "fake/fake_platform.h"

namespace tolvane {
namespace {

using fake::Rig;
using platform::Ctl;

struct Toolbar : ::testing::Test {
  Rig rig{800, 600, Image(800, 600, 0xFFFFFFFFu)};
  void SetUp() override {
    ASSERT_TRUE(rig.start());
    rig.drag(300, 100, 600, 300);
  }
  void rect(float x0, float y0, float x1, float y1) {
    rig.down(x0, y0);
    rig.move(x1, y1);
    rig.up(x1, y1);
  }
};

TEST_F(Toolbar, ToolButtonsPlaceShapeAndToggleTheStylePanel) {
  auto& panel = rig.ctl(Ctl::StylePanel);
  rig.clickTool(7);
  EXPECT_TRUE(panel.visible());
  EXPECT_EQ(panel.left(), rig.ctl(Ctl::Toolbar).left());
  EXPECT_EQ(panel.top(), 304.f + 26 + 3);
  EXPECT_FALSE(rig.ctl(Ctl::SizePanel).visible());
  EXPECT_EQ(rig.ctl(Ctl::ColorPanel).left(), 4.f);
  EXPECT_FLOAT_EQ(panel.width(), 724 / 3.f - 73 - 2);
  EXPECT_EQ(rig.ctl(Ctl::StylePanelFrame).width(), panel.width());
  rig.clickTool(7);  // same button again: the panel hides, the tool stays
  EXPECT_FALSE(panel.visible());
  rect(310, 110, 320, 120);
  EXPECT_EQ(rig.surface.getPixel(320, 115), 0x000000FF);  // a red rectangle's right edge
  EXPECT_EQ(rig.surface.getPixel(315, 115), rgb(255, 255, 255));
  rig.clickTool(7);
  EXPECT_TRUE(panel.visible());
  rig.clickTool(5);  // another tool: stays visible, wide form with the font part
  EXPECT_TRUE(panel.visible());
  EXPECT_TRUE(rig.ctl(Ctl::SizePanel).visible());
  EXPECT_FLOAT_EQ(panel.width(), 724 / 3.f);
  EXPECT_FLOAT_EQ(rig.ctl(Ctl::ColorPanel).left(), 236 / 3.f);
  rig.down(400, 200);  // the text tool: a click opens its box
  rig.up(400, 200);
  EXPECT_TRUE(rig.ctl(Ctl::NoteField).visible());
  rig.clickTool(5);  // the text tool again: its box is committed and the panel hides
  EXPECT_FALSE(rig.ctl(Ctl::NoteField).visible());
  EXPECT_FALSE(panel.visible());
}

TEST_F(Toolbar, StylePanelGoesAboveWhenItWouldLeaveTheScreen) {
  rig.clickTool(0);  // undo with nothing drawn: back to selecting
  rig.drag(300, 400, 600, 533);  // toolbar at 537..563; panel 37.33 high would end at 603.33
  rig.clickTool(6);
  EXPECT_FLOAT_EQ(rig.ctl(Ctl::StylePanel).top(), 537.f - 112 / 3.f - 3);
  rig.clickTool(0);
  rig.drag(300, 400, 600, 530);  // ends at 600.33 > 600: still above
  rig.clickTool(6);
  EXPECT_FLOAT_EQ(rig.ctl(Ctl::StylePanel).top(), 534.f - 112 / 3.f - 3);
}

TEST_F(Toolbar, UndoWithNothingDrawnReturnsToSelecting) {
  rig.clickTool(7);
  rig.clickTool(0);
  EXPECT_EQ(rig.form.history().index(), 1);
  for (auto c : {Ctl::SelectionFrame, Ctl::Toolbar, Ctl::StylePanel, Ctl::SizeLabel, Ctl::ColorLabel})
    EXPECT_FALSE(rig.ctl(c).visible());
  for (int i = 0; i < 8; ++i) EXPECT_FALSE(rig.ctl(Ctl::Handle, i).visible());
  EXPECT_EQ(rig.ctl(Ctl::SelectionFrame).width(), 0.f);
  // The user selects a new region right away.
  rig.drag(10, 10, 50, 50);
  EXPECT_TRUE(rig.ctl(Ctl::Toolbar).visible());
  EXPECT_EQ(rig.ctl(Ctl::SelectionFrame).width(), 40.f);
  EXPECT_EQ(rig.form.history().index(), 1);  // a region, not a stroke
}

TEST_F(Toolbar, RedoAfterReturningToSelectingBringsNothingBack) {
  rig.clickTool(7);
  rect(350, 150, 400, 200);
  const Image drawn = rig.surface.image();
  rig.clickTool(0);  // to the clean screen
  rig.clickTool(0);  // back to selecting
  rig.drag(10, 400, 200, 550);
  const Image fresh = rig.surface.image();
  rig.clickTool(8);  // redo: the old picture, dimmed around the old region, must not come back
  EXPECT_EQ(rig.surface.image(), fresh);
  EXPECT_NE(rig.surface.image(), drawn);
  rig.clickTool(1);
  ASSERT_TRUE(rig.clipboard.picture);
  EXPECT_EQ(*rig.clipboard.picture, Image(190, 150, 0xFFFFFFFFu));  // the new region, undimmed
}

// An open text box belongs to the text tool: whatever ends the tool's turn
// commits the text first, so it is neither lost nor left open with no tool.
TEST_F(Toolbar, AnOpenTextBoxIsCommittedBeforeTheToolChanges) {
  enum class Then { OtherTool, Undo, Handle };
  for (const Then then : {Then::OtherTool, Then::Undo, Then::Handle}) {
    SCOPED_TRACE(static_cast<int>(then));
    Rig r{800, 600, Image(800, 600, 0xFFFFFFFFu)};
    ASSERT_TRUE(r.start());
    r.drag(300, 100, 600, 300);
    r.clickTool(5);
    r.down(350, 150);
    r.up(350, 150);
    r.form.textChanged({Ctl::NoteField, -1}, "Hi");
    switch (then) {
      case Then::OtherTool: r.clickTool(6); break;
      case Then::Undo: r.clickTool(0); break;
      case Then::Handle:
        r.form.mouseDown({Ctl::Handle, 6}, {1, 0, 1, 1});
        r.form.mouseMove({Ctl::Handle, 6}, {1, 0, 700, 400});
        r.form.mouseUp({Ctl::Handle, 6}, {1, 0, 1, 1});
        break;
    }
    EXPECT_FALSE(r.ctl(Ctl::NoteField).visible());
    EXPECT_EQ(r.form.history().top(), 2);  // the text is a step
    if (then == Then::Undo) {
      EXPECT_EQ(r.form.history().index(), 1);  // and undo took it away
      EXPECT_TRUE(r.ctl(Ctl::SelectionFrame).visible());  // the region stays
      r.clickTool(8);
      EXPECT_EQ(r.form.history().index(), 2);
    }
    if (then == Then::Handle) {  // text counts as drawn: the handle leaves the region alone
      const auto& frame = r.ctl(Ctl::SelectionFrame);
      EXPECT_EQ((std::array{frame.width(), frame.height()}), (std::array{300.f, 200.f}));
    }
    // The next release draws nothing stale.
    const Image before = r.surface.image();
    r.down(10, 10);
    r.up(10, 10);
    EXPECT_EQ(r.surface.image(), before);
  }
}

TEST_F(Toolbar, HistoryWalksBackAndForthAndBranches) {
  rig.clickTool(7);
  rect(310, 110, 320, 120);
  const Image one = rig.surface.image();
  rect(330, 130, 340, 140);
  const Image two = rig.surface.image();
  rect(350, 150, 360, 160);
  auto& h = rig.form.history();
  EXPECT_EQ((std::array{h.index(), h.top()}), (std::array{4, 4}));
  rig.clickTool(0);
  rig.clickTool(0);
  EXPECT_EQ((std::array{h.index(), h.top()}), (std::array{2, 4}));
  EXPECT_EQ(rig.surface.image(), one);
  rig.clickTool(8);
  EXPECT_EQ(rig.surface.image(), two);
  rig.clickTool(6);
  rect(400, 200, 450, 250);
  EXPECT_EQ((std::array{h.index(), h.top()}), (std::array{4, 4}));
  rig.clickTool(8);  // the third rectangle is gone for good
  EXPECT_EQ(h.index(), 4);
  EXPECT_EQ(rig.surface.getPixel(350, 150), rgb(255, 255, 255));
  // Undo back to the first entry shows the frozen screen without the veil.
  rig.clickTool(0);
  rig.clickTool(0);
  rig.clickTool(0);
  EXPECT_EQ(rig.surface.getPixel(5, 5), rgb(255, 255, 255));
  EXPECT_EQ(rig.surface.image(), *rig.screen.picture);
}

TEST_F(Toolbar, RedoRightAfterStartChangesNothing) {
  const Image before = rig.surface.image();
  rig.clickTool(8);
  EXPECT_EQ(rig.form.history().index(), 1);
  EXPECT_EQ(rig.surface.image(), before);
}

TEST_F(Toolbar, CopyAndCloseCopiesTheRegionOutOfSightAndCloses) {
  rig.clickTool(7);
  rig.clickTool(1);
  EXPECT_TRUE(rig.app.closed);
  EXPECT_TRUE(rig.clipboard.seenWhenTaken.windowOnScreen);  // taken while it has the keyboard
  EXPECT_EQ(rig.clipboard.encodes, 1);
  EXPECT_FALSE(rig.clipboard.seen.windowOnScreen);  // gone before the encoding
  ASSERT_TRUE(rig.clipboard.picture);
  EXPECT_EQ(*rig.clipboard.picture, Image(300, 200, 0xFFFFFFFFu));  // undimmed, no frame
}

TEST_F(Toolbar, SaveShowsThePanelAgainOnlyIfItWasVisible) {
  rig.clickTool(7);
  rig.clickTool(2);
  EXPECT_TRUE(rig.ctl(Ctl::StylePanel).visible());
  EXPECT_TRUE(rig.ctl(Ctl::SelectionFrame).visible());
  EXPECT_TRUE(rig.app.closed);
}

TEST_F(Toolbar, CloseLeavesTheClipboardAlone) {
  rig.clickTool(3);
  EXPECT_TRUE(rig.app.closed);
  EXPECT_FALSE(rig.clipboard.picture);
}

TEST_F(Toolbar, HoverFramesFollowThePointer) {
  rig.form.mouseMove({Ctl::ToolButton, 4}, {});
  rig.form.mouseMove({Ctl::ToolButton, 6}, {});
  EXPECT_TRUE(rig.ctl(Ctl::ButtonHover, 6).visible());
  EXPECT_FALSE(rig.ctl(Ctl::ButtonHover, 4).visible());
  rig.form.mouseMove({Ctl::Toolbar, -1}, {});
  EXPECT_FALSE(rig.ctl(Ctl::ButtonHover, 6).visible());
  EXPECT_EQ(rig.pointer.shape(), platform::PointerShape::Arrow);
}

TEST(StylePanel, SwatchesChooseAndHighlight) {
  Rig rig;
  ASSERT_TRUE(rig.start());
  auto& f = rig.form;
  f.mouseUp({Ctl::Swatch, 13}, {2, 0, 0, 0});
  EXPECT_EQ(rig.ctl(Ctl::Swatch, 16).backColor(), 0x00FF0000);
  f.mouseUp({Ctl::Swatch, 16}, {});
  EXPECT_EQ(rig.ctl(Ctl::Swatch, 16).backColor(), 0x00FF0000);
  f.mouseMove({Ctl::Swatch, 3}, {});
  f.mouseMove({Ctl::Swatch, 4}, {});
  EXPECT_EQ(rig.ctl(Ctl::Swatch, 3).borderStyle(), 1);  // stays until the big swatch or the background
  f.mouseMove({Ctl::ColorPanel, -1}, {});
  EXPECT_EQ(rig.ctl(Ctl::Swatch, 3).borderStyle(), 0);
  EXPECT_EQ(rig.ctl(Ctl::Swatch, 4).borderStyle(), 0);
}

TEST(StylePanel, ChooserTogglesItsListAndSetsTheSize) {
  Rig rig;
  ASSERT_TRUE(rig.start());
  auto& f = rig.form;
  f.mouseDown({Ctl::SizeChooser, -1}, {});
  EXPECT_TRUE(rig.view.dropped);
  EXPECT_EQ(rig.ctl(Ctl::SizeChooser).picture(), platform::PictureId::ComboPressed);
  f.mouseDown({Ctl::SizeChooser, -1}, {});
  EXPECT_FALSE(rig.view.dropped);
  f.textChanged({Ctl::SizeList, -1}, "14");
  f.click({Ctl::SizeList, -1});
  EXPECT_EQ(rig.ctl(Ctl::SizeBox).text(), "14");
  // A typed size that is not a positive number is ignored; the last good one stays.
  rig.drag(10, 10, 200, 200);
  rig.clickTool(5);
  f.textChanged({Ctl::SizeBox, -1}, "abc");
  rig.down(50, 50);
  rig.up(50, 50);
  EXPECT_EQ(rig.ctl(Ctl::NoteField).fontSize(), 14.f);
  f.textChanged({Ctl::SizeBox, -1}, "-3");
  rig.down(60, 60);
  rig.up(60, 60);
  EXPECT_EQ(rig.surface.fontSize(), 14.f);
}

TEST(Snapshots, RoundTripAndRejectGarbage) {
  annotation::SnapshotCodec bag;
  const Image pic = fake::patternPicture(123, 77);
  annotation::Bytes bytes;
  bag.encode(bytes, pic);
  EXPECT_EQ(bag.decode(bytes), pic);
  EXPECT_LT(bytes.size(), pic.pixelCount() * 4);
  annotation::Bytes cut(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() / 2));
  EXPECT_THROW(bag.decode(cut), annotation::BadSnapshot);
  EXPECT_THROW(bag.decode({1, 2, 3}), annotation::BadSnapshot);
  annotation::Bytes empty;
  bag.encode(empty, Image());
  EXPECT_TRUE(bag.decode(empty).isNull());
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

TEST(History, KeepsOnlyTheChangedRectangleAndRestoresExactly) {
  fake::FakeText text;
  picture::RasterSurface s(300, 200, &text, nullptr);
  const Image frozen = fake::patternPicture(300, 200);
  s.bitBlt(0, 0, 300, 200, frozen, 0, 0);
  s.setPicture(s.image());
  annotation::History h;
  h.firstEntry(s.picture());
  s.fillArgb(0x80222222u, 0, 0, 300, 200);
  s.bitBlt(50, 40, 100, 80, frozen, 50, 40);
  s.line(60, 50, 90, 70, rgb(255, 0, 0), true);
  h.push(s, {50, 40, 150, 120});
  const Image one = s.image();
  EXPECT_LT(h.bytesKept(), 2000u);  // a small box, not a frame
  // A canvas that does not match the prediction at all still comes back exactly.
  s.setPicture(fake::patternPicture(300, 200));
  s.line(0, 0, 299, 199, rgb(0, 255, 0), false);
  h.push(s, {10, 10, 20, 20});
  const Image two = s.image();
  EXPECT_EQ(h.picture(2), one);
  EXPECT_EQ(h.picture(3), two);
  ASSERT_TRUE(h.undo(s));
  EXPECT_EQ(s.image(), one);
  h.redo(s);
  EXPECT_EQ(s.image(), two);
  h.cutBack();
  EXPECT_EQ(h.bytesKept(), 0u);
  EXPECT_EQ(h.picture(1), frozen);
}

}  // namespace
}  // namespace tolvane
