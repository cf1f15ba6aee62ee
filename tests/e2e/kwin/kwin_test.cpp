// The real program on a headless KWin, run as a plain user: the screen read
// through KWin's own screenshot interface (the program's desktop entry
// authorises it) or through KDE's Screenshot portal, every way of copying
// checked to the pixel through wl-paste, and the portal's file gone.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "kwin.h"

namespace tolvane::e2e {
namespace {

constexpr int kW = 640, kH = 480;
constexpr IRect kRegion{120, 90, 420, 290};
// Linux input key codes.
constexpr int kEsc = 1, kEnter = 28, kCtrl = 29, kC = 46;

class KWinTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    picture_ = knownPicture(kW, kH);
    kwin_ = std::make_unique<KWin>(std::vector<Image>{picture_});
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
    Image want = veiled(picture_);
    const bool seen = waitUntil(
        [&] {
          if (!p->running()) return true;
          Image shown = kwin_->grab();
          if (shown.width() != kW || shown.height() != kH) return false;
          shown.blit(x - 16, y - 16, want, x - 16, y - 16, 48, 48);
          return shown == want;
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
    return waitUntil([&] { return kwin_->grab() == picture_ || (kwin_->keys({kEsc}), false); }, kPatience, 300ms);
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

  // Each way of copying, on the route `env` chooses, the pointer at (x, y)
  // when the program starts: the clipboard gets exactly the region.
  void copyEveryWay(int x, int y, const std::map<std::string, std::string>& env) {
    for (const Way& way : ways()) {
      SCOPED_TRACE(way.how);
      ASSERT_TRUE(kwin_->copyText("before"));
      auto p = capture(x, y, env);
      if (HasFailure()) return;
      ASSERT_TRUE(kwin_->drag(kRegion.left, kRegion.top, kRegion.right, kRegion.bottom));
      ASSERT_TRUE(way.finish());
      const std::optional<Image> copied = kwin_->pastedPicture();
      ASSERT_TRUE(copied.has_value()) << p->stderrText().substr(0, 3000);
      EXPECT_EQ(*copied, picture_.copy(kRegion));
      ASSERT_TRUE(closeWithEscape()) << "the capture window did not go";
    }
  }

  static Image picture_;
  static std::unique_ptr<KWin> kwin_;
};

Image KWinTest::picture_;
std::unique_ptr<KWin> KWinTest::kwin_;

// The pointer starts in the middle of the region: KWin's own interface
// leaves it out, so every copy is exactly the desktop's pixels.
TEST_F(KWinTest, NativeRouteCopiesEveryWayWithoutThePointer) {
  copyEveryWay(270, 190, {});
  EXPECT_TRUE(leftInPictures().empty());
}

TEST_F(KWinTest, PortalRouteCopiesEveryWayAndLeavesNoFile) {
  copyEveryWay(kW - 1, kH - 1, {{"TOLVANE_SCREEN_ROUTE", "portal"}});
  const std::vector<std::string> left = leftInPictures();
  EXPECT_TRUE(left.empty()) << "the portal's picture was left: " << left.front();
}

TEST_F(KWinTest, EscapeEndsTheCaptureAndLeavesTheClipboardAlone) {
  auto p = capture(kW - 1, kH - 1);
  if (HasFailure()) return;
  ASSERT_TRUE(kwin_->drag(kRegion.left, kRegion.top, kRegion.right, kRegion.bottom));
  ASSERT_TRUE(kwin_->keys({kEsc}));
  EXPECT_EQ(p->wait(kPatience), 0) << p->stderrText();
  EXPECT_TRUE(waitUntil([] { return kwin_->grab() == picture_; }, kPatience));
  EXPECT_EQ(kwin_->paste("text/plain"), "before");
}

// A copy of the program no desktop entry names: KWin refuses it its
// interface. Left to choose, the program turns to the portal; told to use
// KWin alone, it says how KWin is to allow it.
TEST_F(KWinTest, AProgramKWinRefusesTurnsToThePortal) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(scratchDir()) / "unlisted";
  std::error_code ec;
  fs::create_directories(dir, ec);
  for (const char* name : {"tolvane", "tolvane-capture.so"})
    fs::copy_file(fs::path(kwinProgramPath()).parent_path() / name, dir / name,
                  fs::copy_options::overwrite_existing, ec);
  ASSERT_FALSE(ec) << ec.message();
  chmod(dir.c_str(), 0755);
  const std::string unlisted = (dir / "tolvane").string();

  auto forced = kwin_->start({unlisted}, {{"TOLVANE_SCREEN_ROUTE", "kwin"}});
  ASSERT_EQ(forced->wait(kPatience), 1) << forced->stderrText();
  const std::string err = forced->stderrText();
  EXPECT_NE(err.find("NoAuthorized"), std::string::npos) << err;
  EXPECT_NE(err.find("X-KDE-DBUS-Restricted-Interfaces"), std::string::npos) << err;

  auto p = capture(kW - 1, kH - 1, {}, unlisted);
  if (HasFailure()) return;
  ASSERT_TRUE(kwin_->drag(kRegion.left, kRegion.top, kRegion.right, kRegion.bottom));
  ASSERT_TRUE(kwin_->keys({kCtrl, kC}));
  const std::optional<Image> copied = kwin_->pastedPicture();
  ASSERT_TRUE(copied.has_value()) << p->stderrText();
  EXPECT_EQ(*copied, picture_.copy(kRegion));
  EXPECT_TRUE(leftInPictures().empty());
}

}  // namespace
}  // namespace tolvane::e2e
