// The screen read through the desktop's Screenshot portal, forced on sway
// with TOLVANE_SCREEN_ROUTE=portal: a private session bus on which
// xdg-desktop-portal (with its wlr back end, and the gtk one for the access
// check) is started on demand, and PipeWire, which the wlr back end needs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "sway_fixture.h"

namespace tolvane::e2e {
namespace {

class WaylandPortal : public SwayTest {
 protected:
  WaylandPortal() : SwayTest("wl-portal-") {}

  std::map<std::string, std::string> env(const std::string& bus) const {
    auto all = SwayTest::env();
    all.insert({{"XDG_CURRENT_DESKTOP", "sway"},
                {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + bus},
                {"TOLVANE_SCREEN_ROUTE", "portal"}});
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
  ASSERT_TRUE(waitForVeil(p)) << p.stderrText();
  const auto ms = std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - t0).count();
  std::printf("veil seen %lld ms after the start\n", static_cast<long long>(ms));
  ASSERT_TRUE(sway_->move(100, 100));
  ASSERT_TRUE(sway_->keys({"-M", "ctrl", "-k", "a", "-k", "c", "-m", "ctrl"}));
  const std::optional<Image> copied = sway_->pastedPicture();
  ASSERT_TRUE(copied.has_value()) << p.stderrText();
  EXPECT_EQ(*copied, picture_);
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
