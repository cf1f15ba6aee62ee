// The capture on a desktop scaled to 2: by Xft.dpi: 192 in the X resources,
// or by QT_SCALE_FACTOR.
#include "fixture.h"

namespace tolvane::e2e {
namespace {

constexpr Argb kToolbarFrame = 0xFF8080FFu, kRed = 0xFFFF0000u, kFrame = 0xFF007AECu;
// Odd corners: device pixels that lie between two logical ones.
constexpr IRect kRegion{201, 151, 601, 451};
// The toolbar's designed size at scale 1.
constexpr int kBarWidth = 241, kBarHeight = 26;

enum class ScaledBy { XftDpi, QtScaleFactor };

class AtDoubleScale : public E2E, public ::testing::WithParamInterface<ScaledBy> {
 protected:
  std::pair<int, int> screenSize() const override { return {1280, 800}; }

  void SetUp() override {
    E2E::SetUp();
    if (HasFatalFailure()) return;
    std::map<std::string, std::string> scaled;
    if (GetParam() == ScaledBy::XftDpi) {
      const std::map<std::string, std::string> display{{"DISPLAY", x().display()}};
      ASSERT_EQ(run({"xrdb", "-merge"}, display, 10s, "Xft.dpi: 192\n").status, 0);
      ASSERT_NE(run({"xrdb", "-query"}, display).out.find("192"), std::string::npos);
    } else {
      scaled["QT_SCALE_FACTOR"] = "2";
    }
    p_ = start(scaled);
    ASSERT_TRUE(waitForVeil(*p_)) << p_->stderrText();
    x().drag(kRegion.left, kRegion.top, kRegion.right, kRegion.bottom);
  }

  // Where the toolbar is on screen: the box its frame colour fills below the
  // region. Empty until it shows.
  IRect toolbar() {
    const Image shot = x().grab();
    IRect box{shot.width(), shot.height(), 0, 0};
    for (int y = kRegion.bottom; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x)
        if (shot.pixel(x, y) == kToolbarFrame) {
          box.left = std::min(box.left, x);
          box.top = std::min(box.top, y);
          box.right = std::max(box.right, x + 1);
          box.bottom = std::max(box.bottom, y + 1);
        }
    return box.left < box.right ? box : IRect{};
  }
  IRect waitForToolbar() {
    IRect bar;
    EXPECT_TRUE(waitUntil([&] { return !(bar = toolbar()).empty(); }, kPatience)) << p_->stderrText();
    return bar;
  }
  // A toolbar button by its designed left edge (fifteenths of a pixel), at scale 2.
  void button(const IRect& bar, int leftUnits) {
    x().click(bar.left + static_cast<int>(2 * (leftUnits / 15.0 + 8)), bar.top + 2 * (5 + 8));
  }

  std::unique_ptr<Program> p_;
};

TEST_P(AtDoubleScale, TheToolbarIsTwiceAsLargeAndTheCopyHoldsTheDevicePixels) {
  if (HasFatalFailure()) return;
  const IRect bar = waitForToolbar();
  ASSERT_FALSE(bar.empty());
  EXPECT_NEAR(bar.width(), 2 * kBarWidth, 3);
  EXPECT_NEAR(bar.height(), 2 * kBarHeight, 3);
  // Right-aligned with the region, just below it.
  EXPECT_NEAR(bar.right, kRegion.right, 3);
  EXPECT_NEAR(bar.top, kRegion.bottom + 8, 3);
  // The frame: two device pixels on the region's edge pixels, away from the
  // handles; the veil outside it and the picture inside.
  const Image shot = x().grab(), veil = veiled(picture());
  struct Across {
    int x, y, dx, dy;  // an edge pixel and the step inwards
  };
  for (const Across& a : {Across{kRegion.left, 250, 1, 0}, Across{kRegion.right - 1, 250, -1, 0},
                          Across{300, kRegion.top, 0, 1}, Across{300, kRegion.bottom - 1, 0, -1}}) {
    EXPECT_EQ(shot.pixel(a.x - a.dx, a.y - a.dy), veil.pixel(a.x - a.dx, a.y - a.dy)) << a.x << "," << a.y;
    EXPECT_EQ(shot.pixel(a.x, a.y), kFrame) << a.x << "," << a.y;
    EXPECT_EQ(shot.pixel(a.x + a.dx, a.y + a.dy), kFrame) << a.x << "," << a.y;
    const int inX = a.x + 2 * a.dx, inY = a.y + 2 * a.dy;
    EXPECT_EQ(shot.pixel(inX, inY), picture().pixel(inX, inY)) << a.x << "," << a.y;
  }

  button(bar, 3270);  // copy and close
  std::optional<std::string> png;
  ASSERT_TRUE(waitUntil([&] { return (png = x().clipboard("image/png", 2s)).has_value(); }, kPatience))
      << p_->stderrText();
  EXPECT_EQ(decodePng(*png), picture().copy(kRegion));
}

TEST_P(AtDoubleScale, ARectangleLandsWhereThePointerWas) {
  if (HasFatalFailure()) return;
  const IRect bar = waitForToolbar();
  ASSERT_FALSE(bar.empty());
  button(bar, 100);  // rectangle, in red
  constexpr IRect kBox{301, 271, 451, 371};
  x().drag(kBox.left, kBox.top, kBox.right, kBox.bottom);
  ASSERT_TRUE(waitUntil([&] { return at(kBox.right, kBox.bottom) == kRed; }, kPatience)) << p_->stderrText();
  const Image shot = x().grab();
  for (const auto& [px, py] : {std::pair{kBox.left, kBox.top}, std::pair{kBox.right, kBox.top},
                               std::pair{kBox.left, kBox.bottom}, std::pair{376, kBox.top}, std::pair{kBox.left, 321}})
    EXPECT_EQ(shot.pixel(px, py), kRed) << px << "," << py;
  // Nothing outside the corners, nothing inside.
  EXPECT_EQ(shot.pixel(kBox.left - 1, kBox.top - 1), picture().pixel(kBox.left - 1, kBox.top - 1));
  EXPECT_EQ(shot.pixel(kBox.right + 1, kBox.bottom + 1), picture().pixel(kBox.right + 1, kBox.bottom + 1));
  EXPECT_EQ(shot.pixel(376, 321), picture().pixel(376, 321));
  x().key("Escape");
  EXPECT_EQ(p_->wait(kPatience), 0);
}

// The handle's events carry the pointer in device pixels, odd ones too: the
// corner lands on the pixel the pointer let go on, not on a logical one.
TEST_P(AtDoubleScale, ACornerHandleDragEndsWhereThePointerWas) {
  if (HasFatalFailure()) return;
  ASSERT_FALSE(waitForToolbar().empty());
  constexpr IRect kResized{kRegion.left, kRegion.top, 701, 551};
  x().drag(kRegion.right, kRegion.bottom, kResized.right, kResized.bottom);  // the handle sits on the corner
  // Undimmed near the new corner, clear of the handle drawn on it.
  ASSERT_TRUE(waitUntil([&] { return at(690, 540) == picture().pixel(690, 540); }, kPatience))
      << p_->stderrText();
  x().key("Return");
  std::optional<std::string> png;
  ASSERT_TRUE(waitUntil([&] { return (png = x().clipboard("image/png", 2s)).has_value(); }, kPatience))
      << p_->stderrText();
  EXPECT_EQ(decodePng(*png), picture().copy(kResized));
}

INSTANTIATE_TEST_SUITE_P(Desktop, AtDoubleScale, ::testing::Values(ScaledBy::XftDpi, ScaledBy::QtScaleFactor),
                         [](const auto& by) {
                           return std::string(by.param == ScaledBy::XftDpi ? "XftDpi" : "QtScaleFactor");
                         });

}  // namespace
}  // namespace tolvane::e2e
