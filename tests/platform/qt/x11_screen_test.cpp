#include <gtest/gtest.h>

#include "platform/x11/x11_screen.h"

namespace tolvane {
namespace {

using platform::x11::RootVisual;

constexpr int kPseudo = 3, kTrue = 4, kDirect = 5;

struct VisualCase {
  RootVisual visual;
  const char* refusal;  // nullptr: the screen can be read
};

class Visual : public ::testing::TestWithParam<VisualCase> {};

TEST_P(Visual, IsReadOrRefusedNamingDepthBitsAndClass) {
  const auto refused = platform::x11::visualFailure(GetParam().visual);
  if (!GetParam().refusal) {
    EXPECT_FALSE(refused.has_value()) << refused->description;
    return;
  }
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(refused->error, platform::kScreenFormatUnreadable);
  EXPECT_NE(refused->description.find(GetParam().refusal), std::string::npos) << refused->description;
}

INSTANTIATE_TEST_SUITE_P(
    Visuals, Visual,
    ::testing::Values(VisualCase{{24, 32, kTrue, 0xFF0000, 0xFF00, 0xFF}, nullptr},
                      VisualCase{{24, 32, kTrue, 0xFF, 0xFF00, 0xFF0000}, nullptr},
                      VisualCase{{16, 16, kTrue, 0xF800, 0x7E0, 0x1F}, nullptr},
                      VisualCase{{15, 16, kTrue, 0x7C00, 0x3E0, 0x1F}, nullptr},
                      VisualCase{{30, 32, kTrue, 0x3FF00000, 0xFFC00, 0x3FF}, nullptr},
                      VisualCase{{8, 8, kPseudo, 0, 0, 0}, "PseudoColor at depth 8, 8 bits per pixel"},
                      VisualCase{{1, 1, 0, 0, 0, 0}, "StaticGray at depth 1, 1 bits per pixel"},
                      VisualCase{{8, 8, kTrue, 0xE0, 0x1C, 0x3}, "TrueColor at depth 8, 8 bits per pixel"},
                      VisualCase{{24, 32, kDirect, 0xFF0000, 0xFF00, 0xFF}, "DirectColor at depth 24, 32 bits"},
                      VisualCase{{24, 32, kTrue, 0, 0, 0}, "TrueColor at depth 24"}));

TEST(Session, OnlyXWaylandInsideAWaylandSessionIsRefused) {
  const auto refused = platform::x11::sessionFailure(true, "wayland-0");
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(refused->error, platform::kScreenInWayland);
  EXPECT_NE(refused->description.find("WAYLAND_DISPLAY=wayland-0"), std::string::npos) << refused->description;
  EXPECT_NE(refused->description.find("XWayland"), std::string::npos) << refused->description;
  EXPECT_FALSE(platform::x11::sessionFailure(true, nullptr).has_value());
  EXPECT_FALSE(platform::x11::sessionFailure(true, "").has_value());
  EXPECT_FALSE(platform::x11::sessionFailure(false, "wayland-0").has_value());
}

}  // namespace
}  // namespace tolvane
