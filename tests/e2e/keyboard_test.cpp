#include "fixture.h"

namespace tolvane::e2e {
namespace {

constexpr Argb kFrame = 0xFF007AECu;

TEST_F(E2E, ArrowsNudgeTheRegionAndCtrlCCopiesIt) {
  std::unique_ptr<Program> p;
  startCapture(p, {100, 100, 300, 250});
  if (HasFatalFailure()) return;
  ASSERT_TRUE(waitUntil([&] { return at(100, 200) == kFrame; }, kPatience));
  // Right 2, down 10 - 1, left 10 + 1: the region ends at 91,109.
  for (const char* k : {"Right", "Right", "shift+Down", "Up", "shift+Left", "Left"}) x().key(k);
  ASSERT_TRUE(waitUntil([&] { return at(91, 200) == kFrame && at(200, 109) == kFrame; }, kPatience));
  const Image veil = veiled(picture());
  EXPECT_EQ(at(90, 200), veil.pixel(90, 200));
  EXPECT_EQ(at(290, 200), kFrame);  // the right edge, 200 wide as before
  x().key("ctrl+c");
  ASSERT_TRUE(waitUntil([&] { return x().grab() == picture() && !showsAWindow(*p); }, kPatience))
      << "the window should be gone";
  const auto png = x().clipboard();
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(decodePng(*png), picture().copy({91, 109, 291, 259}));
  ASSERT_TRUE(x().takeClipboard("next"));
  EXPECT_EQ(p->wait(5s), 0);
}

}  // namespace
}  // namespace tolvane::e2e
