#include "app/display_choice.h"

#include <gtest/gtest.h>

namespace tolvane::app {
namespace {

struct ChoiceCase {
  const char* name;
  const char* waylandDisplay;
  const char* qtPlatform;
  bool wayland;
};

class WantsWayland : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(WantsWayland, OnlyWithACompositorNamedAndADisplayWanted) {
  const ChoiceCase& c = GetParam();
  EXPECT_EQ(wantsWayland(c.waylandDisplay, c.qtPlatform), c.wayland)
      << (c.waylandDisplay ? c.waylandDisplay : "(unset)") << " / " << (c.qtPlatform ? c.qtPlatform : "(unset)");
}

INSTANTIATE_TEST_SUITE_P(Environments, WantsWayland,
                         ::testing::Values(ChoiceCase{"unset", nullptr, nullptr, false},
                                           ChoiceCase{"empty", "", nullptr, false},
                                           ChoiceCase{"named", "wayland-0", nullptr, true},
                                           ChoiceCase{"pathWithEmptyQtPlatform", "/run/user/1000/wayland-1", "", true},
                                           // A Qt set to X for other programs still captures Wayland.
                                           ChoiceCase{"qtAskedForX", "wayland-0", "xcb", true},
                                           ChoiceCase{"qtAskedForWayland", "wayland-0", "wayland", true},
                                           // The tests' platforms without a display.
                                           ChoiceCase{"offscreen", "wayland-0", "offscreen", false},
                                           ChoiceCase{"minimal", "wayland-0", "minimal:enable_fonts", false}),
                         [](const auto& c) { return std::string(c.param.name); });

TEST(DesktopRouteForced, OnlyByTheExactWords) {
  EXPECT_TRUE(desktopRouteForced("portal"));
  EXPECT_TRUE(desktopRouteForced("kwin"));
  for (const char* other : {static_cast<const char*>(nullptr), "", "Portal", "portals", "screencopy", " portal", "KWin"})
    EXPECT_FALSE(desktopRouteForced(other)) << (other ? other : "(unset)");
}

struct RouteCase {
  const char* name;
  const char* screenRoute;
  bool kwinOnBus;
  std::vector<DesktopRoute> routes;
};

class DesktopRoutes : public ::testing::TestWithParam<RouteCase> {};

TEST_P(DesktopRoutes, KWinFirstWhereItIsThenThePortal) {
  const RouteCase& c = GetParam();
  EXPECT_EQ(desktopRoutes(c.screenRoute, c.kwinOnBus), c.routes);
}

using R = DesktopRoute;
INSTANTIATE_TEST_SUITE_P(
    Desktops, DesktopRoutes,
    ::testing::Values(RouteCase{"kde", nullptr, true, {R::KWin, R::Portal}},
                      RouteCase{"gnome", nullptr, false, {R::Portal}},
                      RouteCase{"otherWordOnKde", "screencopy", true, {R::KWin, R::Portal}},
                      RouteCase{"portalForcedOnKde", "portal", true, {R::Portal}},
                      RouteCase{"kwinForcedOnKde", "kwin", true, {R::KWin}},
                      // Forced where KWin is not: tried, and its failure told.
                      RouteCase{"kwinForcedElsewhere", "kwin", false, {R::KWin}}),
    [](const auto& c) { return std::string(c.param.name); });

}  // namespace
}  // namespace tolvane::app
