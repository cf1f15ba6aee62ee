// Finishing on a large region of noise, whose pictures take long to encode:
// the window leaves the screen before the encoding, and the work still ends
// properly (the clipboard served, the file whole) after it.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <xcb/xcb.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>

#include "harness.h"

namespace tolvane::e2e {
namespace {

constexpr int kW = 1920, kH = 1080;
// Nearly the whole screen, with room for the toolbar below.
constexpr IRect kLarge{10, 10, 1910, 1000};
// Its GIF takes a few seconds to encode: long enough to be interrupted.
constexpr IRect kMedium{560, 240, 1360, 840};

// Every pixel its own colour from a fixed pseudo-random sequence: PNG and GIF
// find nothing to compress.
Image noise(int w, int h) {
  Image img(w, h);
  std::uint32_t s = 0x9E3779B9u;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      s ^= s << 13;
      s ^= s >> 17;
      s ^= s << 5;
      img.setPixel(x, y, 0xFF000000u | (s & 0xFFFFFFu));
    }
  return img;
}

// Sees, in the X server's own order, the capture window leave the screen and
// the CLIPBOARD change hands. It holds the CLIPBOARD itself at first, so the
// server tells it the moment another client takes it.
class Watcher {
 public:
  enum class Seen { Nothing, WindowGone, ClipboardTaken, PngAnswered };

  explicit Watcher(const std::string& display) : c_(xcb_connect(display.c_str(), nullptr)) {
    if (xcb_connection_has_error(c_)) return;
    xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    const char name[] = "CLIPBOARD";
    auto* atom = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, sizeof name - 1, name), nullptr);
    if (!atom) return;
    clipboard_ = atom->atom;
    free(atom);
    owner_ = xcb_generate_id(c_);
    xcb_create_window(c_, 0, owner_, s->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, s->root_visual, 0, nullptr);
    xcb_set_selection_owner(c_, owner_, clipboard_, XCB_CURRENT_TIME);
    auto* r = xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, clipboard_), nullptr);
    ok_ = r && r->owner == owner_;
    free(r);
  }
  ~Watcher() { xcb_disconnect(c_); }
  bool ok() const { return ok_; }

  // Follows the window's mapping from now on.
  void watch(xcb_window_t window) {
    window_ = window;
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c_, window, XCB_CW_EVENT_MASK, &mask);
    free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
  }

  // Asks the clipboard's owner for its TARGETS at once, over this connection
  // (no program to start); whether it answered them within the time.
  bool targetsAnswered(Millis timeout) {
    const xcb_atom_t targets = intern("TARGETS"), into = intern("TOLVANE_TEST_TARGETS");
    xcb_convert_selection(c_, owner_, clipboard_, targets, into, XCB_CURRENT_TIME);
    xcb_flush(c_);
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
        const bool notify = (e->response_type & 0x7F) == XCB_SELECTION_NOTIFY;
        const bool answered = notify && reinterpret_cast<xcb_selection_notify_event_t*>(e)->property == into;
        free(e);
        if (notify) return answered;
      }
      const auto left = std::chrono::duration_cast<Millis>(end - std::chrono::steady_clock::now()).count();
      if (left <= 0 || xcb_connection_has_error(c_)) return false;
      pollfd f{xcb_get_file_descriptor(c_), POLLIN, 0};
      poll(&f, 1, static_cast<int>(left));
    }
  }

  // Asks the clipboard's owner for its PNG; next() tells when it answers.
  void askForPng() {
    xcb_convert_selection(c_, owner_, clipboard_, intern("image/png"), intern("TOLVANE_TEST_PNG"), XCB_CURRENT_TIME);
    xcb_flush(c_);
  }

  // The next of the things the server reports, or Nothing within the time.
  Seen next(Millis timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
        const int type = e->response_type & 0x7F;
        Seen seen = Seen::Nothing;
        if (type == XCB_UNMAP_NOTIFY && reinterpret_cast<xcb_unmap_notify_event_t*>(e)->window == window_)
          seen = Seen::WindowGone;
        if (type == XCB_SELECTION_CLEAR && reinterpret_cast<xcb_selection_clear_event_t*>(e)->selection == clipboard_)
          seen = Seen::ClipboardTaken;
        if (type == XCB_SELECTION_NOTIFY) seen = Seen::PngAnswered;
        free(e);
        if (seen != Seen::Nothing) return seen;
      }
      const auto left = std::chrono::duration_cast<Millis>(end - std::chrono::steady_clock::now()).count();
      if (left <= 0 || xcb_connection_has_error(c_)) return Seen::Nothing;
      pollfd f{xcb_get_file_descriptor(c_), POLLIN, 0};
      poll(&f, 1, static_cast<int>(left));
    }
  }

 private:
  xcb_atom_t intern(const char* name) {
    auto* r = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
                                    nullptr);
    const xcb_atom_t a = r ? r->atom : XCB_NONE;
    free(r);
    return a;
  }

  xcb_connection_t* c_;
  xcb_atom_t clipboard_ = XCB_NONE;
  xcb_window_t owner_ = XCB_NONE, window_ = XCB_NONE;
  bool ok_ = false;
};

std::ostream& operator<<(std::ostream& out, Watcher::Seen s) {
  const char* names[] = {"nothing", "the window gone", "the clipboard taken", "the PNG answered"};
  return out << names[static_cast<int>(s)];
}

class FinishOrder : public ::testing::Test {
 protected:
  void SetUp() override {
    x_ = std::make_unique<XServer>(kW, kH);
    ASSERT_TRUE(x_->ok()) << "Xvfb did not start";
    picture_ = noise(kW, kH);
    ASSERT_TRUE(x_->setRoot(picture_));
    const std::string base = scratchDir() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    home_ = base + "-home";
    out_ = base + "-out";
    for (const std::string& d : {base, base + "-run", home_, out_}) {
      std::filesystem::remove_all(d);  // a repeated run starts empty
      mkdir(d.c_str(), 0700);
      ASSERT_TRUE(d == base || giveToTestUser(d)) << d;
    }
    watcher_ = std::make_unique<Watcher>(x_->display());
    ASSERT_TRUE(watcher_->ok());
    p_ = std::make_unique<Program>(*x_, std::vector<std::string>{programPath()},
                                   std::map<std::string, std::string>{
                                       {"XDG_RUNTIME_DIR", base + "-run"}, {"HOME", home_}, {"LANG", "C.UTF-8"}});
    const Image veil = veiled(picture_);
    ASSERT_TRUE(waitUntil([&] { return !p_->running() || x_->grab() == veil; }, 20s) && p_->running())
        << p_->stderrText();
  }

  // Drags out the region, then watches the capture window, found by its title.
  void select(const IRect& region) {
    x_->drag(region.left, region.top, region.right, region.bottom);
    RunResult found;
    ASSERT_TRUE(waitUntil(
        [&] {
          found = run({"xdotool", "search", "--onlyvisible", "--name", "^Tolvane$"}, {{"DISPLAY", x_->display()}});
          return found.status == 0;
        },
        10s, 100ms));
    watcher_->watch(static_cast<xcb_window_t>(std::stoul(found.out)));
  }

  std::unique_ptr<XServer> x_;
  Image picture_;
  std::string home_, out_;
  std::unique_ptr<Watcher> watcher_;
  std::unique_ptr<Program> p_;
};

// Some compositors give the clipboard only to the window with the keyboard:
// it is taken first, and the window still goes before the slow encoding (a
// PNG asked for at once is answered only after the window went).
TEST_F(FinishOrder, CopyTakesTheClipboardThenTheWindowGoesBeforeTheEncoding) {
  select(kLarge);
  if (HasFatalFailure()) return;
  const auto [copyX, copyY] = toolbarButton(kLarge.right, kLarge.bottom, 1);
  x_->click(copyX, copyY);
  ASSERT_EQ(watcher_->next(30s), Watcher::Seen::ClipboardTaken) << p_->stderrText();
  watcher_->askForPng();
  EXPECT_EQ(watcher_->next(30s), Watcher::Seen::WindowGone) << p_->stderrText();
  EXPECT_EQ(watcher_->next(30s), Watcher::Seen::PngAnswered) << p_->stderrText();
  // Served as before, from the windowless process, to the pixel.
  EXPECT_NE(x_->clipboardTargets().find("image/png"), std::string::npos);
  const auto png = x_->clipboard("image/png", 20s);
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(decodePng(*png), picture_.copy(kLarge));
  EXPECT_TRUE(p_->running());
}

// A double click copies, then offers to save: a program asking for the
// picture at once is answered before the save dialog is on the screen.
TEST_F(FinishOrder, ADoubleClickServesTheClipboardBeforeTheDialogIsBuilt) {
  select(kMedium);
  if (HasFatalFailure()) return;
  x_->doubleClick(kW / 2, kH / 2);
  ASSERT_EQ(watcher_->next(20s), Watcher::Seen::ClipboardTaken) << p_->stderrText();
  // Served at once: whether the dialog is also mapped by the time the
  // answer comes depends on scheduling (it was, once in a fresh machine's
  // run), so only the answer and its pixels are checked.
  ASSERT_TRUE(watcher_->targetsAnswered(10s));
  const auto png = x_->clipboard("image/png", 20s);
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(decodePng(*png), picture_.copy(kMedium));
  // The dialog still comes.
  EXPECT_TRUE(x_->waitForWindow("Tolvane-保存为")) << p_->stderrText();
}

TEST_F(FinishOrder, ATerminationWhileTheFileIsEncodedStillWritesItWhole) {
  select(kMedium);
  if (HasFatalFailure()) return;
  x_->doubleClick(kW / 2, kH / 2);
  ASSERT_TRUE(x_->waitForWindow("Tolvane-保存为")) << p_->stderrText();
  // The clipboard was set while the window stayed for the dialog.
  ASSERT_EQ(watcher_->next(20s), Watcher::Seen::ClipboardTaken);
  const std::string path = out_ + "/shot.gif";
  x_->key("ctrl+a");
  ASSERT_TRUE(x_->xdotool({"type", "--delay", "5", path}));
  x_->key("Return");
  ASSERT_EQ(watcher_->next(20s), Watcher::Seen::WindowGone) << p_->stderrText();
  struct stat st {};
  const bool writtenBefore = stat(path.c_str(), &st) == 0;
  kill(p_->pid(), SIGTERM);
  EXPECT_FALSE(writtenBefore) << "the window should go before the file is encoded";
  EXPECT_EQ(p_->wait(60s), 0) << p_->stderrText();
  const RunResult id = run({"identify", "-format", "%m %wx%h", path});
  EXPECT_EQ(id.out, "GIF 800x600") << id.err;
  // Only the file: no temporary left beside it.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(out_)) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"shot.gif"});
}

}  // namespace
}  // namespace tolvane::e2e
