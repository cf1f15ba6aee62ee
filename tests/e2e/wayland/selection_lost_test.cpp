// The clipboard taken by another client right after the copy, and the
// compositor gone before the capture window: the process ends either way.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "sway_fixture.h"

namespace tolvane::e2e {
namespace {

class WaylandLoss : public SwayTest {
 protected:
  WaylandLoss() : SwayTest("wl-loss-") {}
  std::unique_ptr<Process> start(const std::vector<std::string>& args = {}) {
    return std::make_unique<Process>(programLine(args), env());
  }
};

// wl-copy takes the clipboard while ours is still being set: our offer may
// then never become the clipboard's, and no `cancelled` comes. Each run must
// still end once the other client holds the clipboard.
TEST_F(WaylandLoss, ACopyTakenOverAtOnceEndsTheProcessEveryTime) {
  constexpr int kRuns = 20;
  int lingering = 0;
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kRuns; ++i) {
    SCOPED_TRACE(i);
    // A compositor of the run's own: a capture's window does not show on a
    // headless sway that has shown one before.
    if (i > 0) {
      sway_ = std::make_unique<Sway>(std::vector<Image>{picture_});
      ASSERT_TRUE(sway_->ok());
    }
    auto p = start();
    ASSERT_TRUE(waitForVeil(*p)) << p->stderrText();
    ASSERT_TRUE(sway_->drag(120, 90, 420, 290));
    ASSERT_TRUE(sway_->keys({"-M", "ctrl", "-k", "c", "-m", "ctrl"}));
    std::string text = std::to_string(i);
    text += " taken";
    ASSERT_TRUE(sway_->copyText(text));
    if (p->wait(5s) != 0) ++lingering;
  }
  const auto s = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - t0).count();
  std::printf("%d runs in %lld s, %d lingering\n", kRuns, static_cast<long long>(s), lingering);
  EXPECT_EQ(lingering, 0);
}

// The compositor killed while the run waits out --delay: a line naming it
// and status 1, not Qt's abort.
TEST_F(WaylandLoss, TheCompositorGoneBeforeTheWindowEndsWithStatusOne) {
  auto p = start({"-d", "5000"});
  const std::string lock = runtime_ + "/tolvane.lock";
  ASSERT_TRUE(waitUntil(
      [&] {
        const int fd = open(lock.c_str(), O_RDONLY | O_CLOEXEC);
        const bool held = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0;
        if (fd >= 0) close(fd);
        return held;
      },
      kPatience))
      << p->stderrText();
  sway_.reset();
  EXPECT_EQ(p->wait(kPatience), 1) << p->stderrText();
  EXPECT_NE(p->stderrText().find("Wayland compositor"), std::string::npos) << p->stderrText();
}

// A socket at WAYLAND_DISPLAY that takes the connection and never answers
// is a compositor that hangs: the run ends with status 1 saying so, although
// DISPLAY is set, as the README tells.
TEST(WaylandChoice, ASocketThatNeverAnswersEndsTheRunWithStatusOne) {
  const std::string path = scratchDir() + "/silent-wayland";
  unlink(path.c_str());  // left by a run that was killed
  const int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
  ASSERT_EQ(bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(s, 4), 0);
  ASSERT_EQ(chmod(path.c_str(), 0777), 0);  // the plain user may connect
  const auto t0 = std::chrono::steady_clock::now();
  const RunResult r = run(programLine(),
                          {{"WAYLAND_DISPLAY", path}, {"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", ""},
                           {"XDG_RUNTIME_DIR", scratchDir()}},
                          kPatience);
  const auto took = std::chrono::steady_clock::now() - t0;
  close(s);
  unlink(path.c_str());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("does not answer"), std::string::npos) << r.err;
  EXPECT_LT(took, 10s);
}

}  // namespace
}  // namespace tolvane::e2e
