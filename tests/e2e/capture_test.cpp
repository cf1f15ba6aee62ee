#include "fixture.h"

namespace tolvane::e2e {
namespace {

constexpr Argb kFrame = 0xFF007AECu;  // (0,122,236)

TEST_F(E2E, StartsWithTheWholeScreenFrozenUnderTheVeil) {
  auto p = start();
  ASSERT_TRUE(waitForVeil(*p)) << p->stderrText();
  // The window covers the screen and nothing of its own was read into the picture.
  x().key("Escape");
  EXPECT_EQ(p->wait(kPatience), 0);
  EXPECT_EQ(x().grab(), picture());
}

TEST_F(E2E, ASecondStartEndsAtOnceWhileTheFirstRuns) {
  auto first = start();
  ASSERT_TRUE(waitForVeil(*first)) << first->stderrText();
  auto second = start();
  EXPECT_EQ(second->wait(kPatience), 0);
  EXPECT_TRUE(first->running());
  x().key("Escape");
  EXPECT_EQ(first->wait(kPatience), 0);
}

TEST_F(E2E, WithoutADisplayItSaysSoAndEnds) {
  auto r = run({programPath()}, {{"DISPLAY", ":999"}, {"XDG_RUNTIME_DIR", scratchDir()}}, kPatience);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("display"), std::string::npos) << r.err;
}

TEST_F(E2E, DragShowsTheRegionUndimmedAndFramed) {
  auto p = start();
  ASSERT_TRUE(waitForVeil(*p)) << p->stderrText();
  x().drag(100, 100, 300, 250);
  ASSERT_TRUE(waitUntil([&] { return at(200, 200) == picture().pixel(200, 200); }, kPatience));
  const Image screen = x().grab();
  const Image veil = veiled(picture());
  EXPECT_EQ(screen.pixel(250, 240), picture().pixel(250, 240));  // inside: undimmed
  EXPECT_EQ(screen.pixel(50, 50), veil.pixel(50, 50));           // outside: veiled
  EXPECT_EQ(screen.pixel(350, 150), veil.pixel(350, 150));
  EXPECT_EQ(screen.pixel(100, 200), kFrame);  // the frame's left and right edges
  EXPECT_EQ(screen.pixel(299, 200), kFrame);
  EXPECT_EQ(screen.pixel(200, 100), kFrame);
  EXPECT_EQ(screen.pixel(200, 249), kFrame);
  // Narrower than its size label, the region's frame shows over the label.
  x().drag(400, 300, 450, 400);
  ASSERT_TRUE(waitUntil([&] { return at(449, 380) == kFrame; }, kPatience));
  EXPECT_EQ(at(449, 310), kFrame);
  EXPECT_NE(at(460, 310), veil.pixel(460, 310));  // the label, past the frame
  x().key("Escape");
  EXPECT_EQ(p->wait(kPatience), 0);
}

TEST_F(E2E, MoveFollowsThePointerAndStopsAtTheCorner) {
  auto p = start();
  ASSERT_TRUE(waitForVeil(*p)) << p->stderrText();
  x().drag(100, 100, 300, 250);
  x().drag(200, 200, 250, 220);  // 150,120 200x150
  const Image veil = veiled(picture());
  ASSERT_TRUE(waitUntil([&] { return at(120, 110) == veil.pixel(120, 110); }, kPatience));
  EXPECT_EQ(at(340, 260), picture().pixel(340, 260));
  EXPECT_EQ(at(150, 200), kFrame);
  x().drag(250, 200, 900, 900);  // clamped: the selection ends at the bottom-right corner
  ASSERT_TRUE(waitUntil([&] { return at(639, 400) == kFrame; }, kPatience));
  EXPECT_EQ(at(440, 400), kFrame);  // left edge at 640 - 200
  EXPECT_EQ(at(500, 400), picture().pixel(500, 400));
  EXPECT_EQ(at(430, 400), veil.pixel(430, 400));
  x().key("Escape");
  EXPECT_EQ(p->wait(kPatience), 0);
}

TEST_F(E2E, BottomRightHandleResizes) {
  auto p = start();
  ASSERT_TRUE(waitForVeil(*p)) << p->stderrText();
  x().drag(100, 100, 300, 250);
  x().drag(300, 250, 400, 350);  // the handle sits on the corner
  const Image veil = veiled(picture());
  ASSERT_TRUE(waitUntil([&] { return at(350, 300) == picture().pixel(350, 300); }, kPatience));
  EXPECT_EQ(at(399, 320), kFrame);
  EXPECT_EQ(at(405, 320), veil.pixel(405, 320));
  x().key("Escape");
  EXPECT_EQ(p->wait(kPatience), 0);
}

TEST_F(E2E, RightClickCancelsThenASecondOneEnds) {
  auto p = start();
  ASSERT_TRUE(waitForVeil(*p)) << p->stderrText();
  x().drag(100, 100, 300, 250);
  ASSERT_TRUE(waitUntil([&] { return at(100, 200) == kFrame; }, kPatience));
  x().click(200, 200, 3);
  ASSERT_TRUE(waitUntil([&] { return at(100, 200) != kFrame; }, kPatience)) << "the region stays";
  // Still there after the release: a new drag shows its frame.
  x().drag(150, 150, 250, 220);
  ASSERT_TRUE(waitUntil([&] { return at(150, 200) == kFrame; }, kPatience)) << p->stderrText();
  x().click(200, 200, 3);
  ASSERT_TRUE(waitUntil([&] { return at(150, 200) != kFrame; }, kPatience));
  x().click(400, 300, 3);  // away from the last click, or the two make a double click
  EXPECT_EQ(p->wait(kPatience), 0);
}

TEST_F(E2E, RightClickWithNoSelectionEnds) {
  auto p = start();
  ASSERT_TRUE(waitForVeil(*p)) << p->stderrText();
  x().click(320, 240, 3);
  EXPECT_EQ(p->wait(kPatience), 0);
}

}  // namespace
}  // namespace tolvane::e2e
