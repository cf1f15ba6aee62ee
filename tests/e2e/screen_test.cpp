#include "fixture.h"

namespace tolvane::e2e {
namespace {

class EightBitScreen : public E2E {
 protected:
  int depth() const override { return 8; }
};

TEST_F(EightBitScreen, IsRefusedNamingItsVisualWithNothingShownOrCopied) {
  ASSERT_TRUE(x().takeClipboard("before"));
  MapWatch maps(x());
  ASSERT_TRUE(maps.ok());
  auto p = start();
  ASSERT_EQ(p->wait(kPatience), 1) << p->stderrText();
  const std::string err = p->stderrText();
  EXPECT_NE(err.find("cannot read the screen: the screen's visual is PseudoColor at depth 8, 8 bits per pixel"),
            std::string::npos)
      << err;
  EXPECT_EQ(maps.maps(), 0) << "a window was shown";
  EXPECT_EQ(x().clipboard("UTF8_STRING"), std::optional<std::string>("before"));
}

// The other TrueColor depths Xvfb offers: 5-5-5, 5-6-5 and 10-10-10 bits.
class TrueColorScreen : public E2E, public ::testing::WithParamInterface<int> {
 protected:
  int depth() const override { return GetParam(); }
};

TEST_P(TrueColorScreen, IsCapturedAsItShows) {
  constexpr IRect kRegion{100, 80, 300, 200};
  std::unique_ptr<Program> p;
  startCapture(p, kRegion);
  if (HasFatalFailure()) return;
  x().doubleClick(200, 140);
  ASSERT_TRUE(x().waitForWindow("Tolvane-保存为")) << p->stderrText();
  x().key("Escape");
  std::optional<std::string> png;
  ASSERT_TRUE(waitUntil([&] { return (png = x().clipboard("image/png", 2s)).has_value(); }, kPatience));
  EXPECT_EQ(decodePng(*png), picture().copy(kRegion));
}

INSTANTIATE_TEST_SUITE_P(Depths, TrueColorScreen, ::testing::Values(15, 16, 30));

TEST_F(E2E, AWaylandVariableAloneDoesNotStopAPlainXServer) {
  auto p = start({{"WAYLAND_DISPLAY", "wayland-e2e"}});
  ASSERT_TRUE(waitForVeil(*p)) << p->stderrText();
  x().key("Escape");
  EXPECT_EQ(p->wait(kPatience), 0) << p->stderrText();
}

}  // namespace
}  // namespace tolvane::e2e
