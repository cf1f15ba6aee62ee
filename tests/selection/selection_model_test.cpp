// The region as a value: hit-tests, whole pixels, and moves and resizes held
// on the screen.
#include <gtest/gtest.h>

#include "selection/selection.h"

namespace tolvane {
namespace {

using selection::Selection;

TEST(Selection, StrictlyInsideLeavesTheOutlineOut) {
  const Selection s{10, 20, 30, 40};  // right 40, bottom 60
  struct Point { float x, y; bool inside; };
  const Point points[] = {{25, 40, true},  {10.5f, 20.5f, true}, {39.9f, 59.9f, true},
                          {10, 40, false}, {40, 40, false},      {25, 20, false},
                          {25, 60, false}, {9, 40, false},       {25, 61, false}};
  for (const auto& p : points) EXPECT_EQ(s.strictlyInside(p.x, p.y), p.inside) << p.x << "," << p.y;
  EXPECT_FALSE((Selection{10, 20, 0, 0}.strictlyInside(10, 20)));  // a zero-size region holds no point
}

TEST(Selection, PixelsRoundEachEdgeHalfToEven) {
  EXPECT_EQ((Selection{10, 20, 30, 40}.pixels()), (IRect{10, 20, 40, 60}));
  EXPECT_EQ((Selection{11.5f, 20.5f, 30, 15.5f}.pixels()), (IRect{12, 20, 42, 36}));  // 41.5 -> 42, 36 -> 36
  EXPECT_EQ((Selection{0.5f, 1.5f, 1, 1}.pixels()), (IRect{0, 2, 2, 2}));
}

TEST(Selection, HoldKeepsAPointOnTheRegionEdgesIncluded) {
  const Selection s{10, 20, 30, 40};
  EXPECT_EQ(s.holdX(5), 10.f);
  EXPECT_EQ(s.holdX(10), 10.f);
  EXPECT_EQ(s.holdX(25.5f), 25.5f);
  EXPECT_EQ(s.holdX(40), 40.f);
  EXPECT_EQ(s.holdX(400), 40.f);
  EXPECT_EQ(s.holdY(-3), 20.f);
  EXPECT_EQ(s.holdY(60), 60.f);
  EXPECT_EQ(s.holdY(61), 60.f);
}

TEST(Selection, MovesStopAtEveryScreenEdgeWithoutChangingSize) {
  const Selection s{100, 100, 100, 50};
  struct Move { float l, t, left, top; };
  const Move moves[] = {{110, 110, 110, 110}, {-500, 10, 0, 10},  {10, -500, 10, 0},
                        {5000, 10, 540, 10},  {10, 5000, 10, 430}, {5000, 5000, 540, 430},
                        {-1, -1, 0, 0},       {540.5f, 430.5f, 540, 430}};
  for (const auto& m : moves) {
    const Selection moved = s.movedTo(m.l, m.t, 640, 480);
    EXPECT_EQ(moved, (Selection{m.left, m.top, 100, 50})) << m.l << "," << m.t;
  }
}

TEST(Selection, HeldOnTheScreenCutsOnlyWhatLiesPastIt) {
  EXPECT_EQ((Selection{10, 10, 50, 50}.heldOn(640, 480)), (Selection{10, 10, 50, 50}));
  EXPECT_EQ((Selection{600, 10, 42, 50}.heldOn(640, 480)), (Selection{600, 10, 40, 50}));
  EXPECT_EQ((Selection{10, 450, 50, 32}.heldOn(640, 480)), (Selection{10, 450, 50, 30}));
  EXPECT_EQ((Selection{-2, -3, 50, 50}.heldOn(640, 480)), (Selection{0, 0, 48, 47}));
  // A negative size is left for the frame to refuse.
  EXPECT_EQ((Selection{700, 10, -5, 50}.heldOn(640, 480)), (Selection{700, 10, -5, 50}));
}

}  // namespace
}  // namespace tolvane
