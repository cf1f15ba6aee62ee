#include <signal.h>

#include <cstdlib>
#include <thread>

#include "fixture.h"

namespace tolvane::e2e {
namespace {

constexpr Argb kFrame = 0xFF007AECu;

// A drag pressed at (100,100) and moved to (200,180) while only the start-up
// window is up; released there, or after the capture window has taken over
// at (300,250).
class EarlyDrag : public E2E, public ::testing::WithParamInterface<bool> {
 protected:
  // Starts the program and makes the press land on the start-up window. The
  // program is stopped once that window shows, and the server is held while
  // the test looks and presses, so the capture window cannot appear between
  // the two. False when it was already up (the run is then retried).
  bool pressOnSplash(std::unique_ptr<Program>& p, bool releaseThere) {
    p.reset();  // a run still going would hold the lock
    p = start();
    std::vector<TopLevel> windows;
    const bool splashSeen = waitUntil(
        [&] {
          windows = x().topLevels();
          return !p->running() || hasSplash(windows, p->pid()) || hasCaptureWindow(windows, p->pid());
        },
        kPatience, 1ms);
    if (!splashSeen || !p->running() || !hasSplash(windows, p->pid())) return false;
    kill(p->pid(), SIGSTOP);
    bool pressed = false;
    // The start-up window takes the pointer right after it maps; until that
    // request has been served, let the program run a little more.
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (!pressed && std::chrono::steady_clock::now() < end) {
      {
        ServerHold hold(x());
        if (!hold.ok()) break;
        windows = hold.topLevels();
        if (hasCaptureWindow(windows, p->pid()) || !hasSplash(windows, p->pid())) break;
        if (hold.pointerGrabbed()) {
          hold.move(100, 100);
          hold.press(1);
          hold.move(150, 140);
          hold.move(200, 180);
          if (releaseThere) hold.release(1);
          pressed = true;
        }
      }
      if (!pressed) {
        kill(p->pid(), SIGCONT);
        std::this_thread::sleep_for(1ms);
        kill(p->pid(), SIGSTOP);
      }
    }
    kill(p->pid(), SIGCONT);
    return pressed;
  }
};

TEST_P(EarlyDrag, SelectsFromThePressMadeOnTheStartUpWindow) {
  const bool releaseEarly = GetParam();
  std::unique_ptr<Program> p;
  bool pressed = false;
  for (int attempt = 0; attempt < 5 && !pressed; ++attempt) pressed = pressOnSplash(p, releaseEarly);
  ASSERT_TRUE(pressed) << "the capture window was always up before the press could be made";
  ASSERT_TRUE(waitForCaptureWindow(*p)) << p->stderrText();
  const IRect region = releaseEarly ? IRect{100, 100, 200, 180} : IRect{100, 100, 300, 250};
  if (!releaseEarly) {
    ASSERT_TRUE(x().xdotool({"mousemove", "300", "250", "sleep", "0.05", "mouseup", "1"}));
  }
  // The frame's edges run through the press and the release.
  ASSERT_TRUE(waitUntil(
      [&] { return at(region.left, region.top + 20) == kFrame && at(region.right - 1, region.top + 20) == kFrame; },
      kPatience))
      << p->stderrText();
  const Image screen = x().grab();
  const Image veil = veiled(picture());
  EXPECT_EQ(screen.pixel(region.left + 20, region.top), kFrame);
  EXPECT_EQ(screen.pixel(region.left + 20, region.bottom - 1), kFrame);
  EXPECT_EQ(screen.pixel(region.left + 30, region.bottom - 10), picture().pixel(region.left + 30, region.bottom - 10));
  EXPECT_EQ(screen.pixel(region.left - 5, region.top + 40), veil.pixel(region.left - 5, region.top + 40));
  EXPECT_EQ(screen.pixel(50, 50), veil.pixel(50, 50));
  x().key("Escape");
  EXPECT_EQ(p->wait(kPatience), 0);
}

// The start-up window at full HD, where the veil covers millions of pixels.
class StartUpVeil : public E2E {
 protected:
  std::pair<int, int> screenSize() const override { return {1920, 1080}; }
};

// Pixels that differ from `want` by more than one step in any channel.
long offByMoreThanOne(const Image& got, const Image& want) {
  long bad = 0;
  for (int y = 0; y < want.height(); ++y)
    for (int x = 0; x < want.width(); ++x) {
      const Argb a = got.pixel(x, y), b = want.pixel(x, y);
      for (int shift : {0, 8, 16})
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 1) {
          ++bad;
          break;
        }
    }
  return bad;
}

// The X server draws the whole veil of the start-up window from requests
// the program sent before the window showed: stopped the moment its window
// is seen, the program still gets the whole screen veiled, to within the
// rounding of the server's blending.
TEST_F(StartUpVeil, IsWholeOnceTheWindowShowsEvenWithTheProgramStopped) {
  std::unique_ptr<Program> p;
  bool stopped = false;
  for (int attempt = 0; attempt < 5 && !stopped; ++attempt) {
    p.reset();
    p = start();
    std::vector<TopLevel> windows;
    waitUntil(
        [&] {
          windows = x().topLevels();
          return !p->running() || hasSplash(windows, p->pid()) || hasCaptureWindow(windows, p->pid());
        },
        kPatience, 1ms);
    stopped = p->running() && hasSplash(windows, p->pid()) && !hasCaptureWindow(windows, p->pid()) &&
              kill(p->pid(), SIGSTOP) == 0;
  }
  ASSERT_TRUE(stopped) << "the capture window was always up before the start-up window could be seen";
  const Image want = veiled(picture());
  long bad = -1;
  waitUntil([&] { return (bad = offByMoreThanOne(x().grab(), want)) == 0; }, 3s);
  EXPECT_EQ(bad, 0) << "pixels not veiled while only the start-up window was up";
  EXPECT_FALSE(hasCaptureWindow(x().topLevels(), p->pid()));
  kill(p->pid(), SIGCONT);
  ASSERT_TRUE(waitForCaptureWindow(*p)) << p->stderrText();
  x().key("Escape");
  EXPECT_EQ(p->wait(kPatience), 0);
}

INSTANTIATE_TEST_SUITE_P(Release, EarlyDrag, ::testing::Values(false, true),
                         [](const auto& param) { return param.param ? "OnTheStartUpWindow" : "OnTheCaptureWindow"; });

}  // namespace
}  // namespace tolvane::e2e
