// Two monitors side by side on one X screen, under the window manager the
// test is instantiated with (a command name: openbox, icewm, mutter).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fixture.h"

namespace tolvane::e2e {

// The screen both monitors share; the right one starts at x = 1280.
constexpr int kWide = 2560, kTall = 800;

class TwoMonitorsUnderAWindowManager : public E2E, public ::testing::WithParamInterface<const char*> {
 protected:
  std::pair<int, int> screenSize() const override { return {kWide, kTall}; }

  void SetUp() override {
    E2E::SetUp();
    if (HasFatalFailure()) return;
    const std::map<std::string, std::string> display{{"DISPLAY", x().display()}};
    ASSERT_EQ(run({"xrandr", "--setmonitor", "L", "1280/340x800/210+0+0", "screen"}, display).status, 0);
    ASSERT_EQ(run({"xrandr", "--setmonitor", "R", "1280/340x800/210+1280+0", "none"}, display).status, 0);
    const std::string monitors = run({"xrandr", "--listmonitors"}, display).out;
    ASSERT_NE(monitors.find("Monitors: 2"), std::string::npos) << monitors;
    const std::string wm = GetParam();
    // mutter, GNOME's window manager and compositor, wants a session bus.
    const std::vector<std::string> argv =
        wm == "mutter" ? std::vector<std::string>{"dbus-run-session", "--", "mutter", "--x11", "--replace"}
                       : std::vector<std::string>{wm};
    wm_ = std::make_unique<Program>(x(), argv, env());
    ASSERT_TRUE(waitUntil([&] { return !wm_->running() || x().windowManagerRunning(); }, kPatience) &&
                wm_->running())
        << wm << " did not take over: " << wm_->stderrText();
  }
  void TearDown() override {
    wm_.reset();
    E2E::TearDown();
  }

  std::unique_ptr<Program> wm_;
};

}  // namespace tolvane::e2e
