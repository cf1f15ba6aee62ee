// The screen read through the desktop's Screenshot portal, forced on sway
// with TOLVANE_SCREEN_ROUTE=portal: a private session bus on which
// xdg-desktop-portal (with its wlr back end, and the gtk one for the access
// check) is started on demand, and PipeWire, which the wlr back end needs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "sway.h"

namespace tolvane::e2e {
namespace {

constexpr int kW = 640, kH = 480;

class WaylandPortal : public ::testing::Test {
 protected:
  void SetUp() override {
    picture_ = knownPicture(kW, kH);
    sway_ = std::make_unique<Sway>(std::vector<Image>{picture_});
    ASSERT_TRUE(sway_->ok()) << "headless sway did not start";
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    const std::string base = scratchDir() + "/wl-portal-" + name;
    runtime_ = base + "-run";
    home_ = base + "-home";
    for (const std::string& d : {base, runtime_, home_}) mkdir(d.c_str(), 0700);
  }

  std::map<std::string, std::string> env(const std::string& bus) const {
    auto all = sway_->clientEnv(runtime_);
    all.insert({{"HOME", home_},
                {"XDG_CONFIG_HOME", home_ + "/.config"},
                {"XDG_CACHE_HOME", home_ + "/.cache"},
                {"XDG_DATA_HOME", home_ + "/.local/share"},
                {"XDG_STATE_HOME", home_ + "/.local/state"},
                {"XDG_CURRENT_DESKTOP", "sway"},
                {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + bus},
                {"TOLVANE_SCREEN_ROUTE", "portal"},
                {"LANG", "C.UTF-8"}});
    return all;
  }

  // The private session bus and PipeWire; the portals start on the bus's demand
  // and go with its process group.
  void startSession() {
    const std::string bus = runtime_ + "/bus";
    bus_ = std::make_unique<Process>(std::vector<std::string>{"dbus-daemon", "--config-file=/usr/share/dbus-1/session.conf",
                                                              "--address=unix:path=" + bus, "--nofork", "--nopidfile"},
                                     env(bus));
    struct stat st {};
    ASSERT_TRUE(waitUntil([&] { return stat(bus.c_str(), &st) == 0; }, kPatience)) << bus_->stderrText();
    pipewire_ = std::make_unique<Process>(std::vector<std::string>{"pipewire"}, env(bus));
    ASSERT_TRUE(waitUntil([&] { return stat((runtime_ + "/pipewire-0").c_str(), &st) == 0; }, kPatience))
        << pipewire_->stderrText();
  }

  Image picture_;
  std::unique_ptr<Sway> sway_;
  std::string runtime_, home_;
  std::unique_ptr<Process> bus_, pipewire_;
};

// Kept out of `make test` for now: it passed 10 of 10 here, but in 2 of 5
// runs the first veil came 25 s after the start (the portal's answer, near
// D-Bus's 25 s call timeout, not yet explained), too close to the 30 s
// patience. Run it with --gtest_also_run_disabled_tests.
TEST_F(WaylandPortal, DISABLED_CopiesTheScreenThePortalRead) {
  startSession();
  if (HasFatalFailure()) return;
  // xdg-desktop-portal-wlr writes every picture to this file: a newer one
  // shows that the portal, not wlr-screencopy, read the screen.
  constexpr char kPortalFile[] = "/tmp/out.png";
  unlink(kPortalFile);
  const auto t0 = std::chrono::steady_clock::now();
  Process p({programPath()}, env(runtime_ + "/bus"));
  const Image want = veiled(picture_);
  ASSERT_TRUE(waitUntil([&] { return !p.running() || sway_->grab() == want; }, kPatience) && p.running())
      << p.stderrText();
  const auto ms = std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - t0).count();
  std::printf("veil seen %lld ms after the start\n", static_cast<long long>(ms));
  ASSERT_TRUE(sway_->move(100, 100));
  ASSERT_TRUE(sway_->keys({"-M", "ctrl", "-k", "a", "-k", "c", "-m", "ctrl"}));
  std::optional<std::string> png;
  ASSERT_TRUE(waitUntil([&] { return (png = sway_->paste()).has_value(); }, kPatience)) << p.stderrText();
  EXPECT_EQ(decodePng(*png), picture_);
  EXPECT_EQ(decodePng(readFile(kPortalFile)), picture_) << "the portal did not read the screen";
}

// No portal to ask: the run ends with status 1 and says why, naming the
// desktop, and nothing is shown.
TEST_F(WaylandPortal, WithoutASessionBusNothingIsShown) {
  Process p({programPath()}, env(runtime_ + "/no-bus"));
  ASSERT_EQ(p.wait(kPatience), 1) << p.stderrText();
  const std::string err = p.stderrText();
  EXPECT_NE(err.find("(sway) offers no wlr-screencopy"), std::string::npos) << err;
  EXPECT_NE(err.find("no D-Bus session bus"), std::string::npos) << err;
  EXPECT_EQ(sway_->grab(), picture_);
}

}  // namespace
}  // namespace tolvane::e2e
