// The save dialog under window managers: above the full-screen capture
// window, on the monitor that holds the region, and taking the keyboard.
#include <sys/stat.h>

#include "two_monitors.h"

namespace tolvane::e2e {
namespace {

constexpr Argb kFrame = 0xFF007AECu;
// On the right monitor, which starts at x = 1280.
constexpr IRect kRegion{1500, 200, 1800, 400};
constexpr char kTitle[] = "Tolvane-保存为";

class DialogUnderAWindowManager : public TwoMonitorsUnderAWindowManager {
 protected:
  // Starts a capture with the region selected, and opens the save dialog.
  // The screen as it was just before, and the dialog's window.
  std::pair<Image, std::uint32_t> openDialog(std::unique_ptr<Program>& p) {
    p = start();
    EXPECT_TRUE(waitForCaptureWindow(*p)) << p->stderrText();
    x().drag(kRegion.left, kRegion.top, kRegion.right, kRegion.bottom);
    const int middle = (kRegion.top + kRegion.bottom) / 2;
    EXPECT_TRUE(waitUntil([&] { return at(kRegion.left, middle) == kFrame && at(kRegion.right - 1, middle) == kFrame; },
                          kPatience))
        << p->stderrText();
    const Image before = x().grab();
    x().key("ctrl+s");
    std::uint32_t dialog = 0;
    EXPECT_TRUE(waitUntil([&] { return (dialog = focusedDialog()) != 0; }, kPatience)) << p->stderrText();
    return {before, dialog};
  }

  // The dialog's window, in a window manager's frame or not, once it is
  // shown and has the keyboard focus; 0 until then.
  std::uint32_t focusedDialog() {
    const std::map<std::string, std::string> display{{"DISPLAY", x().display()}};
    const RunResult found =
        run({"xdotool", "search", "--onlyvisible", "--name", std::string("^") + kTitle + "$"}, display);
    const RunResult focus = run({"xdotool", "getwindowfocus"}, display);
    if (found.status != 0 || focus.status != 0 || found.out.empty()) return 0;
    const std::uint32_t id = static_cast<std::uint32_t>(std::stoul(found.out));
    return std::stoul(focus.out) == id ? id : 0;
  }

  // The share of the dialog's pixels the screen shows changed from `before`.
  double shownShare(const Image& before, const IRect& where) {
    const Image now = x().grab();
    long changed = 0;
    for (int y = where.top; y < where.bottom; ++y)
      for (int x = where.left; x < where.right; ++x) changed += now.pixel(x, y) != before.pixel(x, y);
    return static_cast<double>(changed) / (static_cast<double>(where.width()) * where.height());
  }

};

TEST_P(DialogUnderAWindowManager, ShowsOnTheRegionsMonitorAboveTheCaptureAndTakesTheName) {
  std::unique_ptr<Program> p;
  const auto [before, dialog] = openDialog(p);
  ASSERT_FALSE(HasFailure());
  const IRect where = x().geometry(dialog).intersected({0, 0, kWide, kTall});
  ASSERT_FALSE(where.empty());
  // Seen on the screen, not merely mapped: nearly all of its pixels show.
  EXPECT_TRUE(waitUntil([&] { return shownShare(before, where) > 0.9; }, kPatience))
      << "the dialog is under the capture window: " << shownShare(before, where) << " of it shows";
  // In the middle of the right monitor (a frame's title bar may push it down).
  const int cx = (where.left + where.right) / 2, cy = (where.top + where.bottom) / 2;
  EXPECT_LE(std::abs(cx - 1920), 20) << where.left << "," << where.top << " " << where.width() << "x" << where.height();
  EXPECT_LE(std::abs(cy - kTall / 2), 40) << where.left << "," << where.top << " " << where.width() << "x" << where.height();

  const std::string path = home() + "/typed.png";
  x().key("ctrl+a");
  ASSERT_TRUE(x().xdotool({"type", "--delay", "5", path}));
  x().key("Return");
  EXPECT_EQ(p->wait(kPatience), 0) << p->stderrText();
  const Image saved = decodePng(readFile(path));
  ASSERT_EQ(saved.width(), kRegion.width()) << "nothing saved at " << path;
  // Inside the frame and its handles, below the size and colour labels, the
  // screen showed the frozen screen as the copy has it.
  const IRect inner{kRegion.left + 6, kRegion.top + 45, kRegion.right - 6, kRegion.bottom - 6};
  EXPECT_EQ(saved.copy({6, 45, kRegion.width() - 6, kRegion.height() - 6}), before.copy(inner));
}

TEST_P(DialogUnderAWindowManager, EscCancelsTheDialogAndEndsTheCapture) {
  std::unique_ptr<Program> p;
  const auto [before, dialog] = openDialog(p);
  ASSERT_FALSE(HasFailure());
  x().key("Escape");
  // The capture ends; the process stays to serve the copy on the clipboard.
  EXPECT_TRUE(waitUntil([&] { return !showsAWindow(*p); }, kPatience)) << p->stderrText();
  std::optional<std::string> png;
  ASSERT_TRUE(waitUntil([&] { return (png = x().clipboard("image/png", 2s)).has_value(); }, kPatience));
  const IRect inner{kRegion.left + 6, kRegion.top + 45, kRegion.right - 6, kRegion.bottom - 6};
  EXPECT_EQ(decodePng(*png).copy({6, 45, kRegion.width() - 6, kRegion.height() - 6}), before.copy(inner));
}

INSTANTIATE_TEST_SUITE_P(TwoMonitors, DialogUnderAWindowManager, ::testing::Values("openbox", "mutter"),
                         [](const auto& wm) { return std::string(wm.param); });

}  // namespace
}  // namespace tolvane::e2e
