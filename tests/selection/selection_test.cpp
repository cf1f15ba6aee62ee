#include <gtest/gtest.h>

#include "fake/fake_platform.h"
#include "selection/backdrop.h"
#include "selection/split_color.h"

namespace tolvane {
namespace {

using fake::Rig;
using platform::Ctl;

struct Idle : ::testing::Test {
  Rig rig{640, 480};
  void SetUp() override { ASSERT_TRUE(rig.start()); }
  std::array<float, 4> sel() {
    auto& s = rig.ctl(Ctl::SelectionFrame);
    return {s.left(), s.top(), s.width(), s.height()};
  }
};

TEST_F(Idle, RubberBandCoversEveryQuadrantFromTheAnchor) {
  rig.down(100, 100);
  rig.move(40, 160);
  EXPECT_EQ(sel(), (std::array{40.f, 100.f, 60.f, 60.f}));
  rig.move(160, 40);
  EXPECT_EQ(sel(), (std::array{100.f, 40.f, 60.f, 60.f}));
  rig.move(30, 20);
  EXPECT_EQ(sel(), (std::array{30.f, 20.f, 70.f, 80.f}));
  rig.move(100, 300);  // on the anchor's column: the outline keeps its geometry
  EXPECT_EQ(sel(), (std::array{30.f, 20.f, 70.f, 80.f}));
  rig.move(120.5f, 103);
  EXPECT_EQ(rig.ctl(Ctl::SizeLabel).caption(), "20.5x3");
  EXPECT_EQ(rig.ctl(Ctl::SizeLabel).left(), 102.f);
  EXPECT_EQ(rig.ctl(Ctl::SizeLabel).top(), 102.f);
  EXPECT_EQ(rig.ctl(Ctl::ColorLabel).top(), 102.f + 17 + 2);
  rig.up(120.5f, 103);
  EXPECT_TRUE(rig.ctl(Ctl::Toolbar).visible());
  EXPECT_TRUE(rig.form.region().made());
}

TEST_F(Idle, DragStepEndsWithTheSelectionRepaint) {
  rig.down(10, 20);
  rig.move(200, 200);
  const int flushes = rig.presenter.flushes;
  rig.move(50, 70);
  EXPECT_EQ(rig.pointer.shape(), platform::PointerShape::Cross);
  EXPECT_GT(rig.presenter.flushes, flushes);  // shown at once
  // Exactly the region 10,20 40x50 undimmed, the rest veiled: nothing of
  // the larger band before it is left undimmed.
  const Image& frozen = *rig.screen.picture;
  Image expected = frozen;
  picture::raster::veil(expected, expected.rect(), selection::kVeil);
  for (int y = 20; y < 70; ++y)
    for (int x = 10; x < 50; ++x) expected.setPixel(x, y, frozen.pixel(x, y));
  EXPECT_EQ(rig.surface.image(), expected);
  rig.move(5, 5, 0);
  std::int32_t r = 0, g = 0, b = 0;
  selection::splitColor(rig.surface.getPixel(5, 5), r, g, b);
  EXPECT_EQ(rig.ctl(Ctl::ColorLabel).caption(),
            "RGB(" + std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b) + ")");
  rig.move(-3, 5, 0);
  EXPECT_EQ(rig.ctl(Ctl::ColorLabel).caption(), "RGB(-1,0,0)");
}

TEST_F(Idle, PressEdgesAndCancellation) {
  rig.drag(100, 100, 200, 150);
  // The right edge is outside: the press cancels and starts a new band there.
  rig.down(200, 120);
  EXPECT_FALSE(rig.ctl(Ctl::SelectionFrame).visible());
  EXPECT_FALSE(rig.form.region().made());
  rig.move(220, 130);
  EXPECT_EQ(sel(), (std::array{200.f, 120.f, 20.f, 10.f}));
  rig.up(220, 130);
  // The left edge is inside: a left press prepares a move and keeps the selection.
  rig.down(200, 125);
  EXPECT_TRUE(rig.ctl(Ctl::SelectionFrame).visible());
  rig.up(200, 125);
  EXPECT_EQ(sel(), (std::array{200.f, 120.f, 20.f, 10.f}));
  // The move follows the pointer from the press, not from the region's corner.
  rig.down(205, 125);
  rig.move(215, 126);
  EXPECT_EQ(sel(), (std::array{210.f, 121.f, 20.f, 10.f}));
  // After a cancel a right release no longer ends the capture.
  rig.up(215, 126);
  rig.down(400, 400, platform::kRight);
  rig.up(400, 400, platform::kRight);
  rig.down(400, 400, platform::kMiddle);
  rig.up(400, 400, platform::kMiddle);
  EXPECT_FALSE(rig.app.closed);
}

TEST_F(Idle, RightClickCancelsThenEnds) {
  rig.drag(100, 100, 200, 150);
  rig.down(150, 120, 2);
  rig.up(150, 120, 2);
  EXPECT_FALSE(rig.app.closed);
  EXPECT_FALSE(rig.ctl(Ctl::SelectionFrame).visible());
  rig.down(150, 120, 2);
  rig.up(150, 120, 2);
  EXPECT_TRUE(rig.app.closed);
  EXPECT_TRUE(rig.lock.released);
}

TEST_F(Idle, RightOrMiddleClickWithNoSelectionEnds) {
  rig.down(5, 5, 4);
  rig.up(5, 5, 4);
  EXPECT_TRUE(rig.app.closed);
}

TEST_F(Idle, ButtonsPressedBeforeTheWindowCameDoNothing) {
  // The click that started the program, say, ends on the window: its release
  // makes no region and ends nothing, and a drag with that button held draws no band.
  for (const int button : {platform::kLeft, platform::kRight, platform::kMiddle}) {
    rig.move(200, 200, button);
    rig.up(200, 200, button);
  }
  EXPECT_FALSE(rig.app.closed);
  EXPECT_FALSE(rig.ctl(Ctl::SelectionFrame).visible());
  EXPECT_FALSE(rig.ctl(Ctl::Toolbar).visible());
  // A real press afterwards works as always.
  rig.drag(10, 10, 50, 40);
  EXPECT_EQ(sel(), (std::array{10.f, 10.f, 40.f, 30.f}));
}

TEST_F(Idle, AnotherPressDuringABandStartsAfreshWithoutItsHandles) {
  rig.down(100, 100);
  rig.move(200, 180);
  ASSERT_TRUE(rig.ctl(Ctl::Handle, 0).visible());
  rig.down(300, 300, platform::kMiddle);  // still dragging with the left button
  for (int i = 0; i < 8; ++i) EXPECT_FALSE(rig.ctl(Ctl::Handle, i).visible()) << i;
  EXPECT_EQ(sel(), (std::array{300.f, 300.f, 0.f, 0.f}));
}

TEST_F(Idle, MoveKeepsTheSizeAndStopsAtEveryEdge) {
  rig.drag(100, 100, 200, 150);
  rig.down(150, 120);
  rig.move(160, 130);
  EXPECT_EQ(sel(), (std::array{110.f, 110.f, 100.f, 50.f}));
  EXPECT_EQ(rig.pointer.shape(), platform::PointerShape::Move);
  rig.move(150, 120, 3);  // left and right together: nothing
  EXPECT_EQ(sel(), (std::array{110.f, 110.f, 100.f, 50.f}));
  rig.move(-500, -500);
  EXPECT_EQ(sel(), (std::array{0.f, 0.f, 100.f, 50.f}));
  rig.move(5000, 5000);
  EXPECT_EQ(sel(), (std::array{540.f, 430.f, 100.f, 50.f}));
  rig.up(5000, 5000);
  EXPECT_EQ(rig.ctl(Ctl::Toolbar).top(), 480.f - 26 - 4);  // no room below: inside
  rig.drag(600, 450, 590, 445);  // the next move starts where this one ended
  EXPECT_EQ(sel(), (std::array{530.f, 425.f, 100.f, 50.f}));
}

TEST_F(Idle, PointerIsTheMoveArrowOnlyStrictlyInside) {
  rig.drag(100, 100, 200, 150);
  rig.move(150, 120, 0);
  EXPECT_EQ(rig.pointer.shape(), platform::PointerShape::Move);
  rig.move(100, 120, 0);
  EXPECT_EQ(rig.pointer.shape(), platform::PointerShape::Cross);
}

TEST_F(Idle, AClickWithoutMovementLeavesAZeroSizeSelection) {
  rig.down(50, 60);
  rig.up(50, 60);
  EXPECT_EQ(sel(), (std::array{50.f, 60.f, 0.f, 0.f}));
  EXPECT_TRUE(rig.ctl(Ctl::Toolbar).visible());
  EXPECT_EQ(rig.ctl(Ctl::Toolbar).top(), 64.f);
}

}  // namespace
}  // namespace tolvane
