// The real program on a headless KWin, run as a plain user: the screen read
// through KWin's own screenshot interface (the program's desktop entry
// authorises it) or through KDE's Screenshot portal, every way of copying
// checked to the pixel through wl-paste, and the portal's file gone.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "kwin_fixture.h"

namespace tolvane::e2e {
namespace {

using KWinTest = KWinSession<1>;

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
