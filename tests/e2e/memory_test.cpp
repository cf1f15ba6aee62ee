// The capture window shows the frozen picture without a second screen-sized
// buffer: Qt's buffer for the window (shared memory with the X server) is
// written only where controls lie.
#include "fixture.h"

namespace tolvane::e2e {
namespace {

constexpr Argb kFrame = 0xFF007AECu;

// A size in /proc/PID/status in bytes; -1 when it cannot be read.
long long statusBytes(pid_t pid, const std::string& field) {
  const std::optional<long long> kib = procStatus(pid, field);
  return kib ? *kib * 1024 : -1;
}

struct MemoryCase {
  const char* name;
  int width, height;
  IRect region;
  // The most of one screen's bytes the shared memory may hold, as 1/share.
  int share;
};

class Memory : public E2E, public ::testing::WithParamInterface<MemoryCase> {
 protected:
  std::pair<int, int> screenSize() const override { return {GetParam().width, GetParam().height}; }
};

TEST_P(Memory, TheWindowHoldsNoSecondCopyOfTheScreen) {
  const MemoryCase& c = GetParam();
  auto p = start();
  ASSERT_TRUE(waitForVeil(*p)) << p->stderrText();
  x().drag(c.region.left, c.region.top, c.region.right, c.region.bottom);
  const int midX = (c.region.left + c.region.right) / 2, midY = (c.region.top + c.region.bottom) / 2;
  ASSERT_TRUE(waitUntil([&] { return at(midX, midY) == picture().pixel(midX, midY); }, kPatience));
  // The frame on all four sides: whatever paints it has painted it.
  ASSERT_TRUE(waitUntil(
      [&] {
        return at(c.region.left, midY) == kFrame && at(c.region.right - 1, midY) == kFrame &&
               at(midX, c.region.top) == kFrame && at(midX, c.region.bottom - 1) == kFrame;
      },
      kPatience))
      << p->stderrText();
  const long long screenBytes = static_cast<long long>(c.width) * c.height * 4;
  const long long shared = statusBytes(p->pid(), "RssShmem");
  ASSERT_GE(shared, 0);
  // Under the controls (labels, handles, toolbar): a small part of the
  // screen, where a backing store painted over the region holds its rows.
  EXPECT_LT(shared, screenBytes / c.share) << "shared memory " << shared << " bytes";
  x().key("Escape");
  EXPECT_EQ(p->wait(kPatience), 0);
}

INSTANTIATE_TEST_SUITE_P(Screens, Memory,
                         ::testing::Values(MemoryCase{"At1080p", 1920, 1080, {300, 200, 700, 500}, 2},
                                           MemoryCase{"At4KWithALargeRegion", 3840, 2160, {1248, 702, 2592, 1458}, 32}),
                         [](const auto& test) { return std::string(test.param.name); });

// Once the window is gone the process only serves the clipboard, maybe for
// hours: the frozen screen, the canvas and the window's buffers are freed.
class MemoryAt4K : public E2E {
 protected:
  std::pair<int, int> screenSize() const override { return {3840, 2160}; }
};

TEST_F(MemoryAt4K, ServingTheClipboardHoldsNoScreenSizedPicture) {
  const IRect region{1248, 702, 2592, 1458};
  auto p = start();
  ASSERT_TRUE(waitForVeil(*p)) << p->stderrText();
  x().drag(region.left, region.top, region.right, region.bottom);
  ASSERT_TRUE(waitUntil([&] { return at(region.left, 1000) == kFrame; }, kPatience)) << p->stderrText();
  x().key("ctrl+c");
  ASSERT_TRUE(waitUntil([&] { return x().grab() == picture() && !showsAWindow(*p); }, kPatience))
      << "the window should be gone";
  const long long screenBytes = 3840LL * 2160 * 4;
  long long held = -1;
  const bool freed = waitUntil(
      [&] {
        held = statusBytes(p->pid(), "RssAnon") + statusBytes(p->pid(), "RssShmem");
        return held >= 0 && held < screenBytes / 2;
      },
      kPatience);
  EXPECT_TRUE(freed) << "anonymous and shared memory " << held << " bytes";
  const auto png = x().clipboard();
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(decodePng(*png), picture().copy(region));
  ASSERT_TRUE(x().takeClipboard("next"));
  EXPECT_EQ(p->wait(kPatience), 0);
}

}  // namespace
}  // namespace tolvane::e2e
