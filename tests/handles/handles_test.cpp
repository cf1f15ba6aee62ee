#include <gtest/gtest.h>

#include "fake/fake_platform.h"
#include "handles/handle_resizer.h"
#include "handles/handle_layout.h"
#include "selection/backdrop.h"

namespace tolvane {
namespace {

using fake::Rig;
using platform::Ctl;

std::pair<float, float> at(Rig& rig, int i) { return {rig.ctl(Ctl::Handle, i).left(), rig.ctl(Ctl::Handle, i).top()}; }

TEST(HandlePlacement, EveryHandleOnItsCornerOrEdge) {
  Rig rig;
  handles::placeHandles(rig.form.controls(), {10, 20, 7, 9});  // right 17, bottom 29; handles are 4x4
  const std::pair<float, float> expected[8] = {
      {8.0f, 18.0f},                               // top-left
      {11.5f, 18.0f},                              // top middle: odd width, fractions pass unchanged
      {static_cast<float>(17 - 4 / 1.5), 18.0f},  // top-right, a third of its width further left
      {8.0f, 22.5f},                               // left middle
      {8.0f, 27.0f},                               // bottom-left
      {11.5f, 27.0f},                              // bottom middle
      {15.0f, 27.0f},                              // bottom-right
      {15.0f, 22.5f},                              // right middle
  };
  for (int i = 0; i < 8; ++i) EXPECT_EQ(at(rig, i), expected[i]) << i;
}

TEST(HandlePlacement, ZeroSizeAndScreenEdges) {
  Rig rig;
  handles::placeHandles(rig.form.controls(), {0, 0, 0, 0});
  for (int i : {0, 1, 3, 4, 5, 6, 7}) EXPECT_EQ(at(rig, i), std::make_pair(-2.0f, -2.0f)) << i;
  EXPECT_FLOAT_EQ(at(rig, 2).first, -8.0f / 3.0f);  // handle 2 sits 2 2/3 left of the edge
  EXPECT_EQ(at(rig, 2).second, -2.0f);
  const auto first = at(rig, 5);
  handles::placeHandles(rig.form.controls(), {0, 0, 0, 0});
  EXPECT_EQ(at(rig, 5), first);
}

struct Selected : ::testing::Test {
  Rig rig{640, 480};
  void SetUp() override {
    ASSERT_TRUE(rig.start());
    rig.drag(100, 100, 150, 150);  // selection 100,100 50x50
  }
  void dragHandle(int i, std::initializer_list<std::pair<int, int>> path) {
    rig.form.mouseDown({Ctl::Handle, i}, {1, 0, 1, 1});
    for (auto [x, y] : path)
      rig.form.mouseMove({Ctl::Handle, i}, {1, 0, static_cast<float>(x), static_cast<float>(y)});
    rig.form.mouseUp({Ctl::Handle, i}, {1, 0, 1, 1});
  }
  std::array<float, 4> sel() {
    auto& s = rig.ctl(Ctl::SelectionFrame);
    return {s.left(), s.top(), s.width(), s.height()};
  }
};

TEST_F(Selected, BottomRightHandleFollowsThePointer) {
  dragHandle(6, {{200, 180}});
  EXPECT_EQ(sel(), (std::array{100.f, 100.f, 100.f, 80.f}));
  EXPECT_EQ(rig.ctl(Ctl::SizeLabel).caption(), "100x80");
  EXPECT_TRUE(rig.ctl(Ctl::Toolbar).visible());
  EXPECT_EQ(rig.ctl(Ctl::Toolbar).top(), 184.f);  // 4 below the new bottom edge
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(rig.ctl(Ctl::Handle, i).visible()) << i;
  EXPECT_FLOAT_EQ(rig.ctl(Ctl::Handle, 6).left(), 198.f);  // on the new corner
  // Released: the pointer over the handle no longer resizes.
  rig.form.mouseMove({Ctl::Handle, 6}, {0, 0, 300, 300});
  EXPECT_EQ(sel(), (std::array{100.f, 100.f, 100.f, 80.f}));
  // A move afterwards starts from the resized region.
  rig.drag(150, 150, 160, 170);
  EXPECT_EQ(sel(), (std::array{110.f, 120.f, 100.f, 80.f}));
}

TEST_F(Selected, TopLeftHandleMeasuresTheOppositeEdgeFromThePointer) {
  dragHandle(0, {{90, 95}});
  EXPECT_EQ(sel(), (std::array{92.f, 97.f, 60.f, 55.f}));
}

TEST_F(Selected, EachHandleMovesItsOwnEdges) {
  // From 100,100 50x50 (right and bottom 150), handles 4x4: the pointer
  // stands for the handle's top-left corner, so the edges it moves sit half
  // a handle further on where the handle lies before them.
  struct Case { int handle; int x, y; std::array<float, 4> region; };
  const Case cases[] = {
      {0, 90, 95, {92, 97, 60, 55}},    {1, 120, 90, {100, 92, 50, 60}},
      {2, 170, 90, {100, 92, 72, 60}},  {3, 90, 120, {92, 100, 60, 50}},
      {4, 90, 170, {92, 100, 60, 70}},  {5, 120, 170, {100, 100, 50, 70}},
      {6, 200, 180, {100, 100, 100, 80}}, {7, 170, 120, {100, 100, 70, 50}},
  };
  for (const Case& c : cases) {
    Rig r{640, 480};
    ASSERT_TRUE(r.start());
    r.drag(100, 100, 150, 150);
    r.form.mouseDown({Ctl::Handle, c.handle}, {1, 0, 1, 1});
    r.form.mouseMove({Ctl::Handle, c.handle}, {1, 0, static_cast<float>(c.x), static_cast<float>(c.y)});
    r.form.mouseUp({Ctl::Handle, c.handle}, {1, 0, 1, 1});
    const auto& f = r.ctl(Ctl::SelectionFrame);
    EXPECT_EQ((std::array{f.left(), f.top(), f.width(), f.height()}), c.region) << "handle " << c.handle;
  }
}

TEST_F(Selected, CrossingTheOppositeEdgeKeepsTheLastGoodGeometry) {
  dragHandle(7, {{130, 120}, {90, 120}, {80, 120}});
  EXPECT_EQ(sel(), (std::array{100.f, 100.f, 30.f, 50.f}));
  dragHandle(7, {{90, 120}, {160, 120}});  // moving back resumes
  EXPECT_EQ(sel(), (std::array{100.f, 100.f, 60.f, 50.f}));
}

TEST_F(Selected, EachStepRepaintsFromTheFrozenScreen) {
  rig.form.mouseDown({Ctl::Handle, 6}, {1, 0, 0, 0});
  rig.form.mouseMove({Ctl::Handle, 6}, {1, 0, 170, 160});
  EXPECT_EQ(rig.pointer.shape(), platform::PointerShape::SizeNWSE);
  // Exactly the new region 100,100 70x60 undimmed, the rest veiled.
  const Image& frozen = *rig.screen.picture;
  Image expected = frozen;
  picture::raster::veil(expected, expected.rect(), selection::kVeil);
  for (int y = 100; y < 160; ++y)
    for (int x = 100; x < 170; ++x) expected.setPixel(x, y, frozen.pixel(x, y));
  EXPECT_EQ(rig.surface.image(), expected);
}

TEST_F(Selected, ResizingNeverReachesPastTheScreen) {
  // The handles' half-size offsets would put an edge past the screen's.
  dragHandle(2, {{639, 0}});
  EXPECT_EQ(sel()[0] + sel()[2], 640.f);
  EXPECT_GE(sel()[1], 0.f);
  dragHandle(5, {{300, 479}});
  EXPECT_EQ(sel()[1] + sel()[3], 479.f);
  dragHandle(1, {{300, 10}});  // the top handle pushes the bottom edge down by its half size
  EXPECT_EQ(sel()[1] + sel()[3], 480.f);
  dragHandle(0, {{0, 0}});
  EXPECT_GE(sel()[0], 0.f);
  EXPECT_EQ(sel()[0] + sel()[2], 640.f);  // the far edges stay
  EXPECT_EQ(sel()[1] + sel()[3], 480.f);
}

TEST_F(Selected, PointerShapesFollowTheHandleWithoutAResize) {
  using platform::PointerShape;
  const PointerShape nwse = PointerShape::SizeNWSE, ns = PointerShape::SizeNS, nesw = PointerShape::SizeNESW,
                     we = PointerShape::SizeWE;
  const PointerShape expected[8] = {nwse, ns, nesw, we, nesw, ns, nwse, we};
  for (int i = 0; i < 8; ++i) {
    const auto before = sel();
    rig.form.mouseMove({Ctl::Handle, i}, {0, 0, 1, 1});
    EXPECT_EQ(rig.pointer.shape(), expected[i]);
    EXPECT_EQ(sel(), before);
  }
}

TEST_F(Selected, PressCutsTheHistoryBack) {
  rig.clickTool(7);
  rig.drag(110, 110, 120, 120);
  rig.drag(112, 112, 130, 130);
  ASSERT_EQ(rig.form.history().index(), 3);
  // Something drawn, tool chosen: the handle does nothing but the release still places the toolbar.
  rig.ctl(Ctl::Toolbar).hide();
  dragHandle(6, {{300, 300}});
  EXPECT_EQ(sel(), (std::array{100.f, 100.f, 50.f, 50.f}));
  EXPECT_EQ(rig.form.history().index(), 3);
  EXPECT_TRUE(rig.ctl(Ctl::Toolbar).visible());
  // Unchoose by undoing all, select again: a press with nothing drawn drops the tool and resizes.
  rig.clickTool(0);
  rig.clickTool(0);
  EXPECT_EQ(rig.form.history().index(), 1);
  dragHandle(6, {{200, 200}});
  EXPECT_EQ(sel(), (std::array{100.f, 100.f, 100.f, 100.f}));
  EXPECT_EQ(rig.form.history().top(), 1);  // the undone steps are gone
  // The tool went with them: a drag inside moves the region, drawing nothing.
  rig.drag(150, 150, 160, 160);
  EXPECT_EQ(sel(), (std::array{110.f, 110.f, 100.f, 100.f}));
  EXPECT_EQ(rig.form.history().index(), 1);
}

TEST(ToolbarPlacement, InsideWhenNoRoomBelowAndNeverLeftOfZero) {
  Rig rig(640, 480);
  ASSERT_TRUE(rig.start());
  // Bottom at 450: 450 + 4 + 26 = 480 equals the screen height, so it still goes below.
  rig.drag(300, 400, 400, 450);
  EXPECT_EQ(rig.ctl(Ctl::Toolbar).top(), 454.f);
  rig.down(10, 10);
  rig.up(10, 10);  // cancels; a new selection follows
  rig.drag(2, 402, 20, 451);
  EXPECT_EQ(rig.ctl(Ctl::Toolbar).top(), 451.f - 26 - 4);
  EXPECT_EQ(rig.ctl(Ctl::Toolbar).left(), 0.f);  // narrower than the toolbar at the left edge
}

}  // namespace
}  // namespace tolvane
