// A test's own X server with the known picture on it, and the program's environment.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "harness.h"
#include "test_folders.h"

namespace tolvane::e2e {

class E2E : public ::testing::Test {
 protected:
  static constexpr int kW = 640, kH = 480;

  void SetUp() override {
    const auto [w, h] = screenSize();
    x_ = std::make_unique<XServer>(w, h, depth());
    ASSERT_TRUE(x_->ok()) << "Xvfb did not start";
    // The known picture as the screen holds it; an 8-bit screen keeps its own.
    if (depth() != 8) {
      picture_ = x_->shown(knownPicture(w, h));
      ASSERT_TRUE(x_->setRoot(picture_));
    }
    const TestFolders folders = makeTestFolders("");
    runtime_ = folders.runtime;
    home_ = folders.home;
    // The program runs as the test's plain user, in a home and a run folder of its own.
    for (const std::string& d : {runtime_, home_, home_ + "/Pictures"}) ASSERT_TRUE(giveToTestUser(d)) << d;
  }
  void TearDown() override { x_.reset(); }
  // The screen's depth; Xvfb's TrueColor at 24 unless a case says otherwise.
  virtual int depth() const { return 24; }
  // The screen's size; kW x kH unless a case says otherwise.
  virtual std::pair<int, int> screenSize() const { return {kW, kH}; }

  std::map<std::string, std::string> env() const {
    auto all = homeEnv(home_);
    all["XDG_RUNTIME_DIR"] = runtime_;
    return all;
  }
  std::unique_ptr<Program> start(const std::map<std::string, std::string>& extraEnv = {}) {
    auto all = env();
    for (const auto& [k, v] : extraEnv) all[k] = v;
    return std::make_unique<Program>(*x_, std::vector<std::string>{programPath()}, all);
  }

  // Starts a capture and waits for its veil; with a region selected when given.
  void startCapture(std::unique_ptr<Program>& p, const IRect& region = {}) {
    p = start();
    ASSERT_TRUE(waitForVeil(*p)) << p->stderrText();
    if (!region.empty()) x_->drag(region.left, region.top, region.right, region.bottom);
  }

  // Waits until the capture window has taken over from the start-up window
  // (which shows the same veil but cannot take a drag) and the screen shows
  // the frozen picture under the veil.
  bool waitForVeil(Program& p) {
    if (!waitForCaptureWindow(p)) return false;
    const Image want = x_->shown(veiled(picture_));
    return waitUntil([&] { return !p.running() || x_->grab() == want; }, kPatience) && p.running();
  }
  // The program's start-up window (viewable, nameless) and its real window.
  static bool hasSplash(const std::vector<TopLevel>& windows, pid_t pid) {
    for (const auto& w : windows)
      if (w.viewable && w.pid == static_cast<std::uint32_t>(pid) && w.name.empty()) return true;
    return false;
  }
  static bool hasCaptureWindow(const std::vector<TopLevel>& windows, pid_t pid) {
    for (const auto& w : windows)
      if (w.viewable && w.pid == static_cast<std::uint32_t>(pid) && w.name == "Tolvane") return true;
    return false;
  }
  // Waits until the capture window is up and holds the keyboard, the start-up
  // window gone: from then on input reaches the capture window itself.
  bool waitForCaptureWindow(Program& p) {
    return waitUntil(
               [&] {
                 if (!p.running()) return true;
                 const auto windows = x_->topLevels();
                 return hasCaptureWindow(windows, p.pid()) && !hasSplash(windows, p.pid()) &&
                        x_->keyboardGrabbed();
               },
               kPatience) &&
           p.running();
  }
  // Whether any window of the program is still shown.
  bool showsAWindow(Program& p) const {
    for (const auto& w : x_->topLevels())
      if (w.viewable && w.pid == static_cast<std::uint32_t>(p.pid())) return true;
    return false;
  }
  // The colour the screen shows at (x, y).
  Argb at(int x, int y) const { return x_->grab().pixel(x, y); }

  XServer& x() { return *x_; }
  const Image& picture() const { return picture_; }
  const std::string& home() const { return home_; }

 private:
  std::unique_ptr<XServer> x_;
  Image picture_;
  std::string runtime_, home_;
};

}  // namespace tolvane::e2e
