// Mutter and KWin hand the clipboard only to the client with the keyboard
// focus: on every way of copying, the selection must be set while the
// capture window is still up. Sway takes it either way, so the order is read
// from the program's own Wayland requests (WAYLAND_DEBUG), and the copy is
// checked to the pixel.
#include <gtest/gtest.h>

#include <signal.h>

#include <functional>
#include <sstream>
#include <string>

#include "sway_fixture.h"

namespace tolvane::e2e {
namespace {

constexpr IRect kRegion{120, 90, 420, 290};

class WaylandCopyOrder : public SwayTest {
 protected:
  WaylandCopyOrder() : SwayTest("wl-order-") {}
};

// The number of the first line of a WAYLAND_DEBUG log that sends a request
// to an object of `interface` named `request`; npos when none does.
std::size_t firstSent(const std::string& log, const std::string& interface, const std::string& request) {
  std::istringstream lines(log);
  std::string line;
  for (std::size_t n = 0; std::getline(lines, line); ++n) {
    const std::size_t arrow = line.find("-> " + interface + "@");
    if (arrow != std::string::npos && line.find("." + request + "(", arrow) != std::string::npos) return n;
  }
  return std::string::npos;
}

TEST_F(WaylandCopyOrder, EveryCopyTakesTheClipboardBeforeTheWindowGoes) {
  const auto [copyX, copyY] = toolbarButton(kRegion.right, kRegion.bottom, 1);
  const struct {
    const char* how;
    std::function<bool(Sway&)> finish;
  } ways[] = {
      {"Ctrl+C", [](Sway& s) { return s.keys({"-M", "ctrl", "-k", "c", "-m", "ctrl"}); }},
      {"Enter", [](Sway& s) { return s.keys({"-k", "Return"}); }},
      {"the copy button", [x = copyX, y = copyY](Sway& s) { return s.click(x, y); }},
      {"a double click", [](Sway& s) { return s.doubleClick(270, 190); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.how);
    auto environment = env();
    environment["WAYLAND_DEBUG"] = "client";
    Process p(programLine(), environment);
    ASSERT_TRUE(waitForVeil(p)) << p.stderrText().substr(0, 2000);
    ASSERT_TRUE(sway_->drag(kRegion.left, kRegion.top, kRegion.right, kRegion.bottom));
    ASSERT_TRUE(way.finish(*sway_));
    const std::optional<Image> copied = sway_->pastedPicture();
    ASSERT_TRUE(copied.has_value());
    EXPECT_EQ(*copied, picture_.copy(kRegion));
    // The double click's save dialog is cancelled: the capture ends with the copy kept.
    if (std::string(way.how) == "a double click") {
      ASSERT_TRUE(waitUntil([&] { return sway_->window("Tolvane-保存为").focused; }, kPatience));
      ASSERT_TRUE(sway_->keys({"-k", "Escape"}));
    }
    ASSERT_TRUE(waitUntil([&] { return sway_->grab() == picture_; }, kPatience)) << "the window did not go";
    const std::string log = p.stderrText();
    const std::size_t taken = firstSent(log, "wl_data_device", "set_selection");
    const std::size_t gone = firstSent(log, "xdg_toplevel", "destroy");
    ASSERT_NE(taken, std::string::npos) << "no selection was set";
    ASSERT_NE(gone, std::string::npos) << "no window was destroyed";
    EXPECT_LT(taken, gone) << "the window went before the clipboard was taken";
    p.signal(SIGTERM);
    EXPECT_TRUE(p.wait(kPatience).has_value());
  }
}

}  // namespace
}  // namespace tolvane::e2e
