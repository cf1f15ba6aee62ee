#include <gtest/gtest.h>

#include <QFontInfo>
#include <QImage>

#include "platform/qt/text_engine.h"
#include "qt_test_support.h"

namespace tolvane {
namespace {

using platform::qt::QtTextEngine;

struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  void add(int x, int y) {
    left = std::min(left, x);
    top = std::min(top, y);
    right = std::max(right, x + 1);
    bottom = std::max(bottom, y + 1);
  }
  bool empty() const { return right < 0; }
};

TEST(TextEngine, DrawsAtTheAnchorInTheColourOverTheOldPixels) {
  const QtTextEngine engine;
  const Image before = qttest::pattern(200, 80);
  Image img = before;
  const ColorRef red = rgb(255, 0, 0);
  engine.draw(img, 0, 0, 40, 20, "Hi 中文", 12, red);

  Box changed;
  int exact = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      if (img.pixel(x, y) == before.pixel(x, y)) continue;
      changed.add(x, y);
      if (img.pixel(x, y) == argbFromColorRef(red)) ++exact;
      EXPECT_EQ(img.pixel(x, y) >> 24, 0xFFu);
    }
  ASSERT_FALSE(changed.empty());
  EXPECT_GT(exact, 20);  // solid strokes in the given colour
  // Everything drawn lies right of and below the anchor, within one line of
  // 16-pixel type and the measured width; the rest is the old picture.
  EXPECT_GE(changed.left, 40);
  EXPECT_LE(changed.left, 43);
  EXPECT_GE(changed.top, 20);
  EXPECT_LE(changed.right, 40 + static_cast<int>(engine.width("Hi 中文", 12)) + 1);
  EXPECT_LE(changed.bottom, 20 + 23);
}

TEST(TextEngine, OriginShiftsTheTarget) {
  const QtTextEngine engine;
  Image whole(120, 60, 0xFFFFFFFFu);
  engine.draw(whole, 0, 0, 30, 25, "文字 ab", 11, rgb(0, 0, 255));
  // The same text into a piece of the window that starts at (20, 10).
  Image piece(100, 50, 0xFFFFFFFFu);
  engine.draw(piece, 20, 10, 30, 25, "文字 ab", 11, rgb(0, 0, 255));
  EXPECT_EQ(piece, whole.copy({20, 10, 120, 60}));
}

TEST(TextEngine, SizesArePointsAtNinetySixDpi) {
  const QtTextEngine engine;
  // 12 points = 16 pixels; a CJK ideograph of this face is one em wide.
  EXPECT_NEAR(engine.width("中", 12), 16.0f, 0.01f);
  EXPECT_NEAR(engine.width("中中", 9), 24.0f, 0.01f);
  EXPECT_GT(engine.width("abc", 20), engine.width("abc", 10));
  EXPECT_EQ(engine.width("", 12), 0.0f);
  const QFont f = platform::qt::cjkFont(12);
  EXPECT_EQ(QFontInfo(f).family(), QStringLiteral("WenQuanYi Micro Hei"));
}

}  // namespace
}  // namespace tolvane
