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

TEST(PortalForced, OnlyByTheExactWord) {
  EXPECT_TRUE(portalForced("portal"));
  for (const char* other : {static_cast<const char*>(nullptr), "", "Portal", "portals", "screencopy", " portal"})
    EXPECT_FALSE(portalForced(other)) << (other ? other : "(unset)");
}

}  // namespace
}  // namespace tolvane::app
