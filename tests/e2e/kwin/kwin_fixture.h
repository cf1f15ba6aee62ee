// Tests on one private headless KWin per test program, with `Outputs`
// outputs side by side at scale `Scale`: the first shows the known picture
// in its device pixels, the others it turned around. Input goes in logical
// pixels; pictures are compared in device pixels. The program runs as the
// tests' plain user.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kwin.h"

namespace tolvane::e2e {

inline constexpr int kW = 640, kH = 480;
inline constexpr IRect kRegion{120, 90, 420, 290};
// Linux input key codes.
inline constexpr int kEsc = 1, kEnter = 28, kCtrl = 29, kC = 46;

template <int Outputs, int Scale = 1>
class KWinSession : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    picture_ = knownPicture(kW, kH);
    std::vector<Image> outputs{picture_};
    Image other = picture_;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) other.setPixel(x, y, picture_.pixel(x, y) ^ 0x00FFFFFFu);
    for (int i = 1; i < Outputs; ++i) outputs.push_back(other);
    desktop_ = Image(kW * Outputs, kH);
    for (int i = 0; i < Outputs; ++i) desktop_.blit(kW * i, 0, outputs[static_cast<std::size_t>(i)], 0, 0, kW, kH);
    // The capture covers the first output, the top-left one.
    veiledDesktop_ = desktop_;
    veiledDesktop_.blit(0, 0, veiled(picture_), 0, 0, kW, kH);
    kwin_ = std::make_unique<KWin>(outputs, Scale);
  }
  static void TearDownTestSuite() { kwin_.reset(); }

  void SetUp() override {
    ASSERT_TRUE(kwin_->ok()) << "headless KWin did not start:\n" << kwin_->trouble();
    // The clipboard holds a text of another client's: a copy must replace
    // it, and a run left serving its copy ends.
    ASSERT_TRUE(kwin_->copyText("before"));
    std::error_code ec;
    std::filesystem::create_directories(pictures(), ec);
    giveToTestUser(pictures());
  }

  static std::string pictures() { return kwin_->home() + "/Pictures"; }
  static std::vector<std::string> leftInPictures() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(pictures(), ec))
      names.push_back(e.path().filename().string());
    return names;
  }

  // The program started with the pointer at (x, y), shown under the veil.
  // Around the pointer, a 48-pixel square, is not compared: KDE's portal
  // draws the pointer into its picture.
  std::unique_ptr<Process> capture(int x, int y, const std::map<std::string, std::string>& env = {},
                                   const std::string& program = kwinProgramPath()) {
    EXPECT_TRUE(kwin_->move(x, y));
    const auto t0 = std::chrono::steady_clock::now();
    auto p = kwin_->start({program}, env);
    const bool seen = waitUntil(
        [&] {
          if (!p->running()) return true;
          Image shown = kwin_->grab();
          if (shown.width() != desktop_.width() || shown.height() != desktop_.height()) return false;
          shown.blit(x * Scale - 16, y * Scale - 16, veiledDesktop_, x * Scale - 16, y * Scale - 16, 48, 48);
          return shown == veiledDesktop_;
        },
        kPatience);
    EXPECT_TRUE(seen && p->running()) << p->stderrText().substr(0, 3000) << kwin_->trouble();
    std::printf("veil seen %lld ms after the start\n",
                static_cast<long long>(
                    std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - t0).count()));
    return p;
  }

  // Until the capture window has gone, Esc: after a double click it ends
  // the save dialog and with it the capture.
  static bool closeWithEscape() {
    return waitUntil([&] { return kwin_->grab() == desktop_ || (kwin_->keys({kEsc}), false); }, kPatience, 300ms);
  }

  struct Way {
    const char* how;
    std::function<bool()> finish;
  };
  static std::vector<Way> ways() {
    const auto [copyX, copyY] = toolbarButton(kRegion.right, kRegion.bottom, 1);
    return {{"Ctrl+C", [] { return kwin_->keys({kCtrl, kC}); }},
            {"Enter", [] { return kwin_->keys({kEnter}); }},
            {"the copy button", [x = copyX, y = copyY] { return kwin_->click(x, y); }},
            {"a double click", [] { return kwin_->doubleClick(270, 190); }}};
  }

  // One way of copying, on the route `env` chooses, the pointer at (x, y)
  // when the program starts: the clipboard gets exactly the region.
  void copyOneWay(const Way& way, int x, int y, const std::map<std::string, std::string>& env) {
    SCOPED_TRACE(way.how);
    ASSERT_TRUE(kwin_->copyText("before"));
    auto p = capture(x, y, env);
    if (::testing::Test::HasFailure()) return;
    ASSERT_TRUE(kwin_->drag(kRegion.left / Scale, kRegion.top / Scale, kRegion.right / Scale, kRegion.bottom / Scale));
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(way.finish());
    const std::optional<Image> copied = kwin_->pastedPicture();
    std::printf("copy by %s served %lld ms after the input\n", way.how,
                static_cast<long long>(
                    std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - t0).count()));
    ASSERT_TRUE(copied.has_value()) << p->stderrText().substr(0, 3000);
    EXPECT_EQ(*copied, picture_.copy(kRegion));
    ASSERT_TRUE(closeWithEscape()) << "the capture window did not go";
  }

  void copyEveryWay(int x, int y, const std::map<std::string, std::string>& env) {
    for (const Way& way : ways()) {
      copyOneWay(way, x, y, env);
      if (::testing::Test::HasFailure()) return;
    }
  }

  static inline Image picture_, desktop_, veiledDesktop_;
  static inline std::unique_ptr<KWin> kwin_;
};

}  // namespace tolvane::e2e
