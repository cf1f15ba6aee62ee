// The real program on a headless sway: the frozen screen under the veil,
// the region by the pointer, the keys, the clipboard through wl-paste.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "sway_fixture.h"

namespace tolvane::e2e {
namespace {

// The real user id of a running process; nullopt when it cannot be read.
std::optional<uid_t> realUid(pid_t pid) {
  const std::optional<long long> uid = procStatus(pid, "Uid");
  return uid ? std::optional<uid_t>(static_cast<uid_t>(*uid)) : std::nullopt;
}

constexpr int kL = 120, kT = 90, kR = 420, kB = 290;  // a 300 x 200 region
constexpr char kCtrlC[] = "ctrl+c";

class Wayland : public SwayTest {
 protected:
  Wayland() : SwayTest("wl-") {}

  std::unique_ptr<Process> start(const std::vector<std::string>& args = {}) {
    return std::make_unique<Process>(programLine(args), env());
  }
  void startCapture(std::unique_ptr<Process>& p, const std::vector<std::string>& args = {}) {
    const auto t0 = std::chrono::steady_clock::now();
    p = start(args);
    ASSERT_TRUE(waitForVeil(*p)) << p->stderrText();
    const auto ms = std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - t0).count();
    std::printf("veil seen %lld ms after the start\n", static_cast<long long>(ms));
    // Real users are never root: nor is the program here, when the tests are.
    if (const std::optional<TestUser> user = testUser()) {
      EXPECT_EQ(realUid(p->pid()), user->uid) << "the program runs as root";
    }
  }
  bool key(const std::string& combo) {
    // "ctrl+c" -> wtype -M ctrl -k c -m ctrl
    const auto plus = combo.find('+');
    if (plus == std::string::npos) return sway_->keys({"-k", combo});
    const std::string mod = combo.substr(0, plus), k = combo.substr(plus + 1);
    return sway_->keys({"-M", mod, "-k", k, "-m", mod});
  }
  bool windowGone() {
    return waitUntil([&] { return sway_->grab() == picture_; }, kPatience);
  }
  std::optional<Image> pasted() const { return sway_->pastedPicture(); }
  // A capture whose region was copied with Ctrl+C and whose window has
  // gone; `shot`, when given, gets what the clipboard then serves.
  void copyAndClose(std::unique_ptr<Process>& p, Image* shot = nullptr) {
    startCapture(p);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(sway_->drag(kL, kT, kR, kB));
    ASSERT_TRUE(key(kCtrlC));
    ASSERT_TRUE(windowGone()) << p->stderrText();
    const std::optional<Image> got = pasted();
    ASSERT_TRUE(got.has_value()) << p->stderrText();
    if (shot) *shot = *got;
  }
};

// Qt's shared-memory buffers the window's frames are drawn in, each as
// large as the output. The compositor holds the one shown, so one more is
// needed to draw the next; each beyond that is a screen's worth of memory
// (32 MiB at 3840x2160) kept until the program ends.
int screenBuffers(pid_t pid) { return waylandShmBuffers(pid, std::uint64_t{kW} * kH * 4); }

TEST_F(Wayland, CopiesTheExactRegionAndServesItAfterTheWindowCloses) {
  std::unique_ptr<Process> p;
  Image shot;
  ASSERT_NO_FATAL_FAILURE(copyAndClose(p, &shot));
  EXPECT_EQ(shot, picture_.copy({kL, kT, kR, kB}));
  EXPECT_TRUE(p->running()) << "the process should stay to serve the clipboard";
  // It serves without the window's buffers, freed with the window.
  EXPECT_TRUE(waitUntil([&] { return screenBuffers(p->pid()) == 0; }, kPatience)) << procMappings(p->pid());
  // Another client takes the clipboard over: the process ends.
  ASSERT_TRUE(sway_->copyText("next"));
  EXPECT_EQ(p->wait(5s), 0);
}

TEST_F(Wayland, TheWindowDrawsInTwoScreenSizedBuffersAtMost) {
  std::unique_ptr<Process> p;
  startCapture(p);
  if (HasFatalFailure()) return;
  // Sway's later configures (full screen, then focused) have come by now;
  // each asks for a frame, which used to be the whole window painted again.
  ASSERT_TRUE(waitUntil([&] { return sway_->window("Tolvane").focused; }, kPatience));
  ASSERT_TRUE(sway_->drag(kL, kT, kR, kB));
  // Undimmed, below the size and colour labels at the region's top.
  const IRect inside{kL + 20, kT + 60, kR - 20, kB - 20};
  ASSERT_TRUE(waitUntil([&] { return sway_->grab().copy(inside) == picture_.copy(inside); }, kPatience));
  EXPECT_LE(screenBuffers(p->pid()), 2) << procMappings(p->pid());
  ASSERT_TRUE(key("Escape"));
  EXPECT_EQ(p->wait(kPatience), 0) << p->stderrText();
}

TEST_F(Wayland, EscapeEndsTheCaptureAndLeavesTheClipboardAlone) {
  ASSERT_TRUE(sway_->copyText("before"));
  std::unique_ptr<Process> p;
  startCapture(p);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(sway_->drag(kL, kT, kR, kB));
  ASSERT_TRUE(key("Escape"));
  EXPECT_EQ(p->wait(kPatience), 0) << p->stderrText();
  EXPECT_TRUE(windowGone());
  EXPECT_EQ(sway_->paste("text/plain"), "before");
  // Nothing on stderr: Qt's complaint about the buffer integration left out is kept off.
  EXPECT_EQ(p->stderrText(), "");
}

TEST_F(Wayland, ASecondStartEndsAtOnceAndLeavesTheFirstRunning) {
  std::unique_ptr<Process> first;
  startCapture(first);
  if (HasFatalFailure()) return;
  std::unique_ptr<Process> second = start();
  EXPECT_EQ(second->wait(kPatience), 0);
  EXPECT_TRUE(first->running());
  EXPECT_EQ(sway_->grab(), veiled(picture_));
  ASSERT_TRUE(key("Escape"));
  EXPECT_EQ(first->wait(kPatience), 0);
}

TEST_F(Wayland, SigtermEndsTheServing) {
  std::unique_ptr<Process> p;
  ASSERT_NO_FATAL_FAILURE(copyAndClose(p));
  p->signal(SIGTERM);
  EXPECT_EQ(p->wait(5s), 0);
  EXPECT_FALSE(sway_->paste().has_value());
}

// Two outputs: the program on them, its window on each, both veiled; the
// clipboard's picture once Ctrl+C has copied the region.
class WaylandOutputs : public ::testing::Test {
 protected:
  void start(const std::vector<Image>& outputs, const std::vector<std::pair<int, int>>& places) {
    outputs_ = outputs;
    places_ = places;
    sway_ = std::make_unique<Sway>(outputs, places);
    ASSERT_TRUE(sway_->ok()) << "headless sway did not start";
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::string runtime = scratchDir() + "/wl-outputs-" + name;
    mkdir(runtime.c_str(), 0700);
    ASSERT_TRUE(giveToTestUser(runtime));
    auto env = sway_->clientEnv(runtime);
    env["HOME"] = runtime;
    p_ = std::make_unique<Process>(programLine(), env);
    std::vector<Image> veils;
    for (const Image& o : outputs) veils.push_back(veiled(o));
    const Image want = layoutOf(veils, places);
    ASSERT_TRUE(waitUntil([&] { return !p_->running() || (handedOver(p_->pid()) && sway_->grab() == want); },
                          kPatience) &&
                p_->running())
        << p_->stderrText();
  }
  std::optional<Image> copied() {
    if (!sway_->keys({"-M", "ctrl", "-k", "c", "-m", "ctrl"})) return std::nullopt;
    return sway_->pastedPicture();
  }
  Image desktop() const { return layoutOf(outputs_, places_); }

  std::vector<Image> outputs_;
  std::vector<std::pair<int, int>> places_;
  std::unique_ptr<Sway> sway_;
  std::unique_ptr<Process> p_;
};

// Side by side: a region dragged on the right output is that output's, and
// the toolbar under it is shown there.
TEST_F(WaylandOutputs, ADragOnTheSecondOutputCopiesItsPixels) {
  const Image left = knownPicture(kW, kH), right = inverted(knownPicture(320, 240));
  ASSERT_NO_FATAL_FAILURE(start({left, right}, sideBySidePlaces({left, right})));
  ASSERT_TRUE(sway_->drag(kW + 30, 20, kW + 230, 120));
  // The toolbar lies under the region, on the same output: the rows below
  // the region stop showing the veiled picture there.
  const Image veil = veiled(right);
  EXPECT_TRUE(waitUntil(
      [&] {
        const Image now = sway_->grab();
        for (int y = 125; y < 160; ++y)
          for (int x = kW + 30; x < kW + 230; ++x)
            if (now.pixel(x, y) != veil.pixel(x - kW, y)) return true;
        return false;
      },
      kPatience));
  const std::optional<Image> got = copied();
  ASSERT_TRUE(got.has_value()) << p_->stderrText();
  EXPECT_EQ(*got, right.copy({30, 20, 230, 120}));
}

// A region across the edge between two outputs holds both outputs' pixels.
TEST_F(WaylandOutputs, ARegionAcrossBothOutputsCopiesBoth) {
  const Image left = knownPicture(kW, kH), right = inverted(knownPicture(320, 240));
  ASSERT_NO_FATAL_FAILURE(start({left, right}, sideBySidePlaces({left, right})));
  ASSERT_TRUE(sway_->drag(kW - 150, 40, kW + 100, 200));
  const std::optional<Image> got = copied();
  ASSERT_TRUE(got.has_value()) << p_->stderrText();
  EXPECT_EQ(*got, desktop().copy({kW - 150, 40, kW + 100, 200}));
}

// The topmost output lies away from the layout's corner: a handle there
// follows the pointer in its pixels.
TEST_F(WaylandOutputs, AHandleResizesOnAnOutputAwayFromTheCorner) {
  const Image lower = knownPicture(kW, kH), upper = inverted(knownPicture(320, 240));
  ASSERT_NO_FATAL_FAILURE(start({lower, upper}, {{0, 100}, {kW, 0}}));
  ASSERT_TRUE(sway_->drag(kW + 40, 30, kW + 200, 150));
  ASSERT_TRUE(sway_->drag(kW + 200, 150, kW + 240, 190));  // the bottom-right handle
  const std::optional<Image> got = copied();
  ASSERT_TRUE(got.has_value()) << p_->stderrText();
  EXPECT_EQ(*got, upper.copy({40, 30, 240, 190}));
}

// WAYLAND_DISPLAY naming no compositor leaves the choice to X: with no X
// display either, the run ends saying so, before anything is shown.
TEST(WaylandChoice, ACompositorThatDoesNotAnswerLeavesItToX) {
  const RunResult r = run(programLine(),
                          {{"WAYLAND_DISPLAY", scratchDir() + "/no-such-wayland"},
                           {"DISPLAY", ""},
                           {"QT_QPA_PLATFORM", ""},
                           {"XDG_RUNTIME_DIR", scratchDir()}},
                          kPatience);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no display"), std::string::npos) << r.err;
}

// A second drag on the region, then Ctrl+C: the clipboard holds exactly the
// pixels of the region as the drag left it.
struct Reshape {
  const char* name;
  int x0, y0, x1, y1;  // the second drag
  IRect region;        // the region after it
};

class WaylandReshape : public Wayland, public ::testing::WithParamInterface<Reshape> {};

TEST_P(WaylandReshape, CopiesTheRegionTheDragLeft) {
  const Reshape& c = GetParam();
  std::unique_ptr<Process> p;
  startCapture(p);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(sway_->drag(kL, kT, kR, kB));
  ASSERT_TRUE(sway_->drag(c.x0, c.y0, c.x1, c.y1));
  ASSERT_TRUE(key(kCtrlC));
  const std::optional<Image> shot = pasted();
  ASSERT_TRUE(shot.has_value()) << p->stderrText();
  EXPECT_EQ(*shot, picture_.copy(c.region));
}

INSTANTIATE_TEST_SUITE_P(
    Drags, WaylandReshape,
    ::testing::Values(Reshape{"moveInside", 270, 190, 300, 210, {kL + 30, kT + 20, kR + 30, kB + 20}},
                      // The bottom-right handle sits on the corner.
                      Reshape{"resizeByTheCorner", kR, kB, kR + 40, kB + 30, {kL, kT, kR + 40, kB + 30}},
                      // Moved past the edge, the region stops at the screen's corner.
                      Reshape{"moveStopsAtTheEdge", 270, 190, 900, 900, {kW - 300, kH - 200, kW, kH}}),
    [](const auto& c) { return std::string(c.param.name); });

// Drawing with the toolbar under the region.
class WaylandAnnotate : public Wayland {
 protected:
  void SetUp() override {
    Wayland::SetUp();
    if (HasFatalFailure()) return;
    startCapture(p_);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(sway_->drag(kL, kT, kR, kB));
  }
  bool button(int index) {
    const auto [x, y] = toolbarButton(kR, kB, index);
    return sway_->click(x, y);
  }
  // The copy button, then the picture from the clipboard.
  Image copy() {
    EXPECT_TRUE(button(kCopy));
    const std::optional<Image> shot = pasted();
    return shot ? *shot : Image{};
  }
  Image region() const { return picture_.copy({kL, kT, kR, kB}); }
  static constexpr int kUndo = 0, kCopy = 1, kText = 5, kRectangle = 7;
  static constexpr Argb kRed = 0xFFFF0000u;
  std::unique_ptr<Process> p_;
};

TEST_F(WaylandAnnotate, RedRectangleOnTheCopy) {
  ASSERT_TRUE(button(kRectangle));
  ASSERT_TRUE(sway_->drag(150, 150, 250, 220));
  const Image shot = copy();
  ASSERT_EQ(shot.width(), kR - kL);
  ASSERT_EQ(shot.height(), kB - kT);
  // Its corners where the drag began and ended, its top edge, nothing inside.
  for (const auto& [x, y] : {std::pair{150, 150}, {250, 220}, {200, 150}, {150, 190}})
    EXPECT_EQ(shot.pixel(x - kL, y - kT), kRed) << x << "," << y;
  EXPECT_EQ(shot.pixel(200 - kL, 190 - kT), picture_.pixel(200, 190));
  EXPECT_EQ(shot.pixel(0, 0), picture_.pixel(kL, kT));
}

TEST_F(WaylandAnnotate, UndoLeavesTheRegionAsItWas) {
  ASSERT_TRUE(button(kRectangle));
  ASSERT_TRUE(sway_->drag(150, 150, 250, 220));
  ASSERT_TRUE(waitUntil([&] { return sway_->grab().pixel(150, 150) == kRed; }, kPatience));
  ASSERT_TRUE(button(kUndo));
  ASSERT_TRUE(waitUntil([&] { return sway_->grab().pixel(150, 150) == picture_.pixel(150, 150); }, kPatience));
  EXPECT_EQ(copy(), region());
}

TEST_F(WaylandAnnotate, TypedTextIsDrawnInRed) {
  ASSERT_TRUE(button(kText));
  ASSERT_TRUE(sway_->click(150, 150));
  ASSERT_TRUE(sway_->keys({"Hello 你好"}));
  ASSERT_TRUE(sway_->click(300, 260));  // the next click commits
  const Image shot = copy();
  ASSERT_EQ(shot.width(), kR - kL);
  int red = 0;
  for (int y = 150; y < 175; ++y)
    for (int x = 150; x < 250; ++x) red += shot.pixel(x - kL, y - kT) == kRed;
  EXPECT_GT(red, 40);
  EXPECT_EQ(shot.pixel(10, 10), picture_.pixel(kL + 10, kT + 10));
}

TEST_F(Wayland, ServingEndsWhenTheCompositorGoesAway) {
  std::unique_ptr<Process> p;
  ASSERT_NO_FATAL_FAILURE(copyAndClose(p));
  sway_.reset();
  EXPECT_TRUE(p->wait(kPatience).has_value()) << "still running with no compositor";
}

// A double click copies the region and opens the save dialog, a window of
// its own over the full-screen one; the name typed there is written.
TEST_F(Wayland, DoubleClickCopiesAndSavesThroughTheDialog) {
  std::unique_ptr<Process> p;
  startCapture(p);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(sway_->drag(kL, kT, kR, kB));
  ASSERT_TRUE(sway_->doubleClick(270, 190));
  // The dialog has the keyboard by itself: the keys go to it at once.
  ASSERT_TRUE(waitUntil([&] { return sway_->window("Tolvane-保存为").focused; }, kPatience)) << p->stderrText();
  const std::optional<Image> copied = pasted();
  ASSERT_TRUE(copied.has_value());
  EXPECT_EQ(*copied, picture_.copy({kL, kT, kR, kB}));
  const std::string file = home_ + "/dialog.png";
  ASSERT_TRUE(key("ctrl+a"));
  ASSERT_TRUE(sway_->keys({file}));
  ASSERT_TRUE(key("Return"));
  Image saved;
  ASSERT_TRUE(waitUntil([&] { return !(saved = decodePng(readFile(file))).isNull(); }, kPatience)) << p->stderrText();
  EXPECT_EQ(saved, picture_.copy({kL, kT, kR, kB}));
}

TEST_F(Wayland, CtrlSWritesTheRegionToTheFileNamed) {
  const std::string file = home_ + "/shot.png";
  std::unique_ptr<Process> p;
  startCapture(p, {"-p", file});
  if (HasFatalFailure()) return;
  ASSERT_TRUE(sway_->drag(kL, kT, kR, kB));
  ASSERT_TRUE(key("ctrl+s"));
  Image saved;
  ASSERT_TRUE(waitUntil([&] { return !(saved = decodePng(readFile(file))).isNull(); }, kPatience)) << p->stderrText();
  EXPECT_EQ(saved, picture_.copy({kL, kT, kR, kB}));
}

}  // namespace
}  // namespace tolvane::e2e
