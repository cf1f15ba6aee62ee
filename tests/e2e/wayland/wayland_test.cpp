// The real program on a headless sway: the frozen screen under the veil,
// the region by the pointer, the keys, the clipboard through wl-paste.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>

#include "sway.h"

namespace tolvane::e2e {
namespace {

constexpr int kW = 640, kH = 480;
constexpr int kL = 120, kT = 90, kR = 420, kB = 290;  // a 300 x 200 region
constexpr char kCtrlC[] = "ctrl+c";

class Wayland : public ::testing::Test {
 protected:
  void SetUp() override {
    picture_ = knownPicture(kW, kH);
    sway_ = std::make_unique<Sway>(std::vector<Image>{picture_});
    ASSERT_TRUE(sway_->ok()) << "headless sway did not start";
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    const std::string base = scratchDir() + "/wl-" + name;
    runtime_ = base + "-run";
    home_ = base + "-home";
    for (const std::string& d : {base, runtime_, home_, home_ + "/Pictures"}) mkdir(d.c_str(), 0700);
  }

  std::map<std::string, std::string> env() const {
    auto all = sway_->clientEnv(runtime_);
    all.insert({{"HOME", home_},
                {"XDG_CONFIG_HOME", home_ + "/.config"},
                {"XDG_CACHE_HOME", home_ + "/.cache"},
                {"XDG_DATA_HOME", home_ + "/.local/share"},
                {"XDG_STATE_HOME", home_ + "/.local/state"},
                {"LANG", "C.UTF-8"}});
    return all;
  }
  std::unique_ptr<Process> start(const std::vector<std::string>& args = {}) {
    std::vector<std::string> argv{programPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return std::make_unique<Process>(argv, env());
  }
  // Until the window is on the output, input would reach the desktop below.
  bool waitForVeil(Process& p) {
    const Image want = veiled(picture_);
    return waitUntil([&] { return !p.running() || sway_->grab() == want; }, kPatience) && p.running();
  }
  void startCapture(std::unique_ptr<Process>& p, const std::vector<std::string>& args = {}) {
    p = start(args);
    ASSERT_TRUE(waitForVeil(*p)) << p->stderrText();
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
  std::optional<Image> pasted() {
    std::optional<std::string> png;
    if (!waitUntil([&] { return (png = sway_->paste()).has_value(); }, kPatience)) return std::nullopt;
    return decodePng(*png);
  }

  Image picture_;
  std::unique_ptr<Sway> sway_;
  std::string runtime_, home_;
};

TEST_F(Wayland, CopiesTheExactRegionAndServesItAfterTheWindowCloses) {
  std::unique_ptr<Process> p;
  startCapture(p);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(sway_->drag(kL, kT, kR, kB));
  ASSERT_TRUE(key(kCtrlC));
  ASSERT_TRUE(windowGone()) << p->stderrText();
  const std::optional<Image> shot = pasted();
  ASSERT_TRUE(shot.has_value()) << p->stderrText();
  EXPECT_EQ(*shot, picture_.copy({kL, kT, kR, kB}));
  EXPECT_TRUE(p->running()) << "the process should stay to serve the clipboard";
  // Another client takes the clipboard over: the process ends.
  ASSERT_TRUE(sway_->copyText("next"));
  EXPECT_EQ(p->wait(5s), 0);
}

TEST_F(Wayland, EscapeEndsTheCaptureAndLeavesTheClipboardAlone) {
  ASSERT_TRUE(sway_->copyText("before"));
  std::unique_ptr<Process> p;
  startCapture(p);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(sway_->drag(kL, kT, kR, kB));
  ASSERT_TRUE(key("Escape"));
  EXPECT_EQ(p->wait(kPatience), 0) << p->stderrText();
  EXPECT_EQ(sway_->grab(), picture_);
  EXPECT_EQ(sway_->paste("text/plain"), "before");
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
  startCapture(p);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(sway_->drag(kL, kT, kR, kB));
  ASSERT_TRUE(key(kCtrlC));
  ASSERT_TRUE(windowGone());
  ASSERT_TRUE(pasted().has_value());
  p->signal(SIGTERM);
  EXPECT_EQ(p->wait(5s), 0);
  EXPECT_FALSE(sway_->paste().has_value());
}

}  // namespace
}  // namespace tolvane::e2e
