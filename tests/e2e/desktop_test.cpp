// The capture on a desktop: two monitors side by side on one X screen, under
// a window manager that places its windows per monitor and has a panel.
#include "two_monitors.h"

namespace tolvane::e2e {
namespace {

// Above IceWM's task bar, which lives and ticks on the left monitor's bottom.
constexpr IRect kClear{0, 0, kWide, 740};
// A region across the boundary of the two monitors at x = 1280.
constexpr IRect kAcross{1180, 300, 1380, 500};

class UnderAWindowManager : public TwoMonitorsUnderAWindowManager {
 protected:
  // The program's capture window, 0 when none is shown.
  std::uint32_t captureWindow(Program& p) {
    for (const auto& w : x().topLevels())
      if (w.viewable && w.pid == static_cast<std::uint32_t>(p.pid()) && w.name == "Tolvane") return w.id;
    return 0;
  }
  // Both monitors show the frozen picture under the veil (above the task bar).
  bool veiledEverywhere() { return x().grab().copy(kClear) == veiled(picture()).copy(kClear); }
  void startVeiled(std::unique_ptr<Program>& p) {
    p = start();
    ASSERT_TRUE(waitForCaptureWindow(*p)) << p->stderrText();
    ASSERT_TRUE(waitUntil([&] { return veiledEverywhere(); }, kPatience)) << p->stderrText();
  }
  void button(int index) {
    const auto [bx, by] = toolbarButton(kAcross.right, kAcross.bottom, index);
    x().click(bx, by);
  }

};

TEST_P(UnderAWindowManager, CoversEveryMonitorAndCopiesARegionAcrossThem) {
  std::unique_ptr<Program> p;
  startVeiled(p);
  if (HasFatalFailure()) return;
  EXPECT_EQ(x().geometry(captureWindow(*p)), (IRect{0, 0, kWide, kTall}));

  // Another client's pop-up (a tooltip, an input method's word list) stays
  // above it; its panel, shown next, goes back under it.
  {
    constexpr IRect kPopup{200, 300, 300, 340};
    Cover popup(x(), kPopup, 0xFF00FF00u, Cover::Kind::Popup);
    ASSERT_TRUE(popup.ok());
    const auto popupShown = [&] {
      const Image screen = x().grab();
      return screen.pixel(kPopup.left + 1, kPopup.top + 1) == 0xFF00FF00u &&
             screen.pixel(kPopup.right - 2, kPopup.bottom - 2) == 0xFF00FF00u;
    };
    EXPECT_TRUE(waitUntil(popupShown, kPatience)) << "the pop-up never showed";
    constexpr IRect kPanel{1000, 0, 1600, 60};
    Cover panel(x(), kPanel, 0xFFFF00FFu);
    ASSERT_TRUE(panel.ok());
    const Image underPanel = veiled(picture()).copy(kPanel);
    EXPECT_TRUE(waitUntil([&] { return x().grab().copy(kPanel) == underPanel; }, kPatience))
        << "a panel stays above the capture";
    EXPECT_TRUE(popupShown()) << "the capture window went over another client's pop-up";
  }
  EXPECT_TRUE(waitUntil([&] { return veiledEverywhere(); }, kPatience));

  x().drag(kAcross.left, kAcross.top, kAcross.right, kAcross.bottom);
  button(1);  // copy and close
  std::optional<std::string> png;
  ASSERT_TRUE(waitUntil([&] { return (png = x().clipboard("image/png", 2s)).has_value(); }, kPatience))
      << p->stderrText();
  EXPECT_EQ(decodePng(*png), picture().copy(kAcross));
}

// Qt keeps monitors' origins in device pixels and scales their sizes, so at
// a scale the two monitors' logical coordinates do not join up.
TEST_P(UnderAWindowManager, AtAFractionalScaleARegionAcrossThemIsCopiedExactly) {
  std::unique_ptr<Program> p = start({{"QT_SCALE_FACTOR", "1.5"}});
  ASSERT_TRUE(waitForCaptureWindow(*p)) << p->stderrText();
  ASSERT_TRUE(waitUntil([&] { return veiledEverywhere(); }, kPatience)) << p->stderrText();
  x().drag(kAcross.left, kAcross.top, kAcross.right, kAcross.bottom);
  // The copy button: 15.3 logical pixels left of the region's right edge,
  // 17 below its bottom.
  x().click(kAcross.right - 23, kAcross.bottom + 25);
  std::optional<std::string> png;
  ASSERT_TRUE(waitUntil([&] { return (png = x().clipboard("image/png", 2s)).has_value(); }, kPatience))
      << p->stderrText();
  EXPECT_EQ(decodePng(*png), picture().copy(kAcross));
}

TEST_P(UnderAWindowManager, TypingReachesTheTextBoxAndEscEnds) {
  std::unique_ptr<Program> p;
  startVeiled(p);
  if (HasFatalFailure()) return;
  x().drag(kAcross.left, kAcross.top, kAcross.right, kAcross.bottom);
  button(5);  // text
  x().click(1290, 350);
  ASSERT_TRUE(x().xdotool({"type", "--delay", "30", "Hello"}));
  x().click(1370, 490);  // the next click commits
  const auto redText = [&] {
    const Image shot = x().grab();
    int red = 0;
    for (int y = 350; y < 370; ++y)
      for (int x = 1290; x < 1330; ++x) red += shot.pixel(x, y) == 0xFFFF0000u;
    return red > 20;
  };
  EXPECT_TRUE(waitUntil(redText, kPatience)) << "the typed text did not reach the text box";
  x().key("Escape");
  EXPECT_EQ(p->wait(kPatience), 0) << p->stderrText();
}

INSTANTIATE_TEST_SUITE_P(TwoMonitors, UnderAWindowManager, ::testing::Values("openbox", "icewm"),
                         [](const auto& wm) { return std::string(wm.param); });

}  // namespace
}  // namespace tolvane::e2e
