// The screen read on its own, against a headless sway: every output, pixel
// for pixel, in one picture.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-server.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/wayland/screencopy.h"
#include "sway.h"

namespace tolvane::e2e {
namespace {

using platform::wayland::OutputPlace;
using platform::wayland::readDesktop;

// Where two pictures of one size first differ, for the failure message.
std::string firstDifference(const Image& got, const Image& want) {
  if (got.width() != want.width() || got.height() != want.height())
    return "sizes differ: " + std::to_string(got.width()) + "x" + std::to_string(got.height());
  char text[96] = "";
  for (int y = 0; y < got.height(); ++y)
    for (int x = 0; x < got.width(); ++x)
      if (got.pixel(x, y) != want.pixel(x, y)) {
        std::snprintf(text, sizeof text, "first at %d,%d: %08x, not %08x", x, y, got.pixel(x, y), want.pixel(x, y));
        return text;
      }
  return text;
}

struct Layout {
  const char* name;
  std::vector<std::pair<int, int>> sizes;
};

class WaylandRead : public ::testing::TestWithParam<Layout> {};

TEST_P(WaylandRead, ReadsEveryOutputPixelExactInOnePicture) {
  std::vector<Image> outputs;
  for (const auto& [w, h] : GetParam().sizes)
    outputs.push_back(outputs.size() % 2 ? inverted(knownPicture(w, h)) : knownPicture(w, h));
  Sway sway(outputs);
  ASSERT_TRUE(sway.ok()) << "headless sway did not start";
  wl_display* d = wl_display_connect(sway.socket().c_str());
  ASSERT_NE(d, nullptr);
  std::vector<OutputPlace> places;
  const auto t0 = std::chrono::steady_clock::now();
  const platform::ScreenRead read = readDesktop(d, &places);
  const auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  wl_display_disconnect(d);
  ASSERT_TRUE(read.ok()) << read.failure->description;
  std::printf("read %dx%d in %.1f ms\n", read.picture.width(), read.picture.height(), ms);
  const Image expected = sideBySide(outputs);
  EXPECT_EQ(read.picture, expected) << firstDifference(read.picture, expected);
  ASSERT_EQ(places.size(), outputs.size());
  // The compositor names its outputs in any order: match them by their left edges.
  int left = 0;
  for (const Image& o : outputs) {
    const IRect want{left, 0, left + o.width(), o.height()};
    EXPECT_EQ(std::count_if(places.begin(), places.end(), [&](const OutputPlace& p) { return p.area == want; }), 1)
        << "no output at " << left;
    left += o.width();
  }
}

// The capture takes the frozen picture from the screen: once it frees it,
// no copy may stay behind (it would be held while the clipboard is served).
TEST(WaylandScreen, HandsItsReadOverAndKeepsNoReference) {
  const Image desktop = knownPicture(320, 240);
  Sway sway({desktop});
  ASSERT_TRUE(sway.ok()) << "headless sway did not start";
  ASSERT_EQ(setenv("WAYLAND_DISPLAY", sway.socket().c_str(), 1), 0);
  const auto screen = platform::wayland::WaylandScreen::connect();
  unsetenv("WAYLAND_DISPLAY");
  ASSERT_NE(screen, nullptr);
  ASSERT_TRUE(screen->readNow().ok());
  const platform::ScreenRead taken = screen->grab();
  ASSERT_TRUE(taken.ok()) << taken.failure->description;
  EXPECT_EQ(taken.picture, desktop);
  EXPECT_EQ(screen->width(), 320);
  EXPECT_EQ(screen->height(), 240);
  const platform::ScreenRead again = screen->grab();
  EXPECT_FALSE(again.ok());
  EXPECT_FALSE(again.picture.sharesWith(taken.picture));
}

INSTANTIATE_TEST_SUITE_P(Outputs, WaylandRead,
                         ::testing::Values(Layout{"one", {{640, 480}}}, Layout{"fullHd", {{1920, 1080}}},
                                           Layout{"twoOfDifferentSizes", {{320, 240}, {200, 150}}}),
                         [](const auto& c) { return std::string(c.param.name); });

}  // namespace
}  // namespace tolvane::e2e

namespace tolvane::e2e {
namespace {

// A compositor of the test's own that offers only wl_shm (no screen copy),
// running on a thread of its own while it lives.
class BareCompositor {
 public:
  explicit BareCompositor(const std::string& socket) : display_(wl_display_create()) {
    if (wl_display_add_socket(display_, socket.c_str()) != 0 || wl_display_init_shm(display_) != 0) return;
    thread_ = std::thread([this] { wl_display_run(display_); });
    ok_ = true;
  }
  ~BareCompositor() {
    if (thread_.joinable()) {
      wl_display_terminate(display_);
      thread_.join();
    }
    wl_display_destroy(display_);
  }
  bool ok() const { return ok_; }

 private:
  wl_display* display_;
  std::thread thread_;
  bool ok_ = false;
};

TEST(WaylandReadFailure, ACompositorWithoutScreenCopyIsNamedAndNothingIsRead) {
  const std::string socket = scratchDir() + "/bare-wayland";
  BareCompositor compositor(socket);
  ASSERT_TRUE(compositor.ok());
  setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
  wl_display* d = wl_display_connect(socket.c_str());
  ASSERT_NE(d, nullptr);
  const platform::ScreenRead read = readDesktop(d);
  wl_display_disconnect(d);
  unsetenv("XDG_CURRENT_DESKTOP");
  ASSERT_FALSE(read.ok());
  EXPECT_TRUE(read.picture.isNull());
  EXPECT_EQ(read.failure->error, platform::kScreenNoWaylandRoute);
  EXPECT_NE(read.failure->description.find("(GNOME)"), std::string::npos) << read.failure->description;
  EXPECT_NE(read.failure->description.find("wlr-screencopy"), std::string::npos) << read.failure->description;
}

// The program itself on such a compositor: it says why and ends before
// showing anything; it does not fall back to an X display.
TEST(WaylandReadFailure, TheProgramEndsWithTheReasonOnACompositorWithoutScreenCopy) {
  const std::string socket = scratchDir() + "/bare-wayland-program";
  BareCompositor compositor(socket);
  ASSERT_TRUE(compositor.ok());
  ASSERT_EQ(chmod(socket.c_str(), 0777), 0);  // the plain user may connect
  const RunResult r = run(programLine(),
                          {{"WAYLAND_DISPLAY", socket},
                           {"DISPLAY", ":999"},
                           {"QT_QPA_PLATFORM", ""},
                           {"XDG_CURRENT_DESKTOP", "KDE"},
                           {"XDG_RUNTIME_DIR", scratchDir()}},
                          kPatience);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("(KDE) offers no wlr-screencopy"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Nothing was captured"), std::string::npos) << r.err;
}

// A socket that takes the connection and never answers: the read gives up
// in time instead of waiting for ever.
TEST(WaylandReadFailure, ACompositorThatNeverAnswersIsAFailureInTime) {
  const std::string path = scratchDir() + "/silent-wayland";
  const int server = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un at{};
  at.sun_family = AF_UNIX;
  std::snprintf(at.sun_path, sizeof at.sun_path, "%s", path.c_str());
  ASSERT_EQ(bind(server, reinterpret_cast<const sockaddr*>(&at), sizeof at), 0);
  ASSERT_EQ(listen(server, 1), 0);
  wl_display* d = wl_display_connect(path.c_str());
  ASSERT_NE(d, nullptr);
  const auto t0 = std::chrono::steady_clock::now();
  const platform::ScreenRead read = readDesktop(d, nullptr, std::chrono::milliseconds(300));
  const auto waited = std::chrono::steady_clock::now() - t0;
  wl_display_disconnect(d);
  close(server);
  ASSERT_FALSE(read.ok());
  EXPECT_TRUE(read.picture.isNull());
  EXPECT_EQ(read.failure->error, platform::kScreenReadFailed);
  EXPECT_GE(waited, std::chrono::milliseconds(250));  // it waited, give or take the clock
  EXPECT_LT(waited, std::chrono::seconds(3));
}

}  // namespace
}  // namespace tolvane::e2e
