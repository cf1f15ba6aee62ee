#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "fake/fake_platform.h"
#include "picture/raster_surface.h"

namespace tolvane::picture {
namespace {

using fake::FakePresenter;
using fake::FakeText;

constexpr Argb kVeil = 0x80222222u;

TEST(Veil, BlendsTheDesignedGreyExactly) {
  Image img(2, 1);
  img.setPixel(0, 0, 0xFFFFFFFFu);
  img.setPixel(1, 0, 0xFF000000u);
  raster::veil(img, img.rect(), kVeil);
  EXPECT_EQ(img.pixel(0, 0), 0xFF909090u);  // (144,144,144)
  EXPECT_EQ(img.pixel(1, 0), 0xFF111111u);  // (17,17,17)
}

TEST(Veil, MatchesTheRoundedBlendForEveryValueAndAlpha) {
  for (Argb color : {0x80222222u, 0x00FFFFFFu, 0xFF123456u, 0x7FABCDEFu, 0x01FF00FFu}) {
    std::vector<Argb> src(256), out(256);
    for (unsigned d = 0; d < 256; ++d) src[d] = 0xFF000000u | d << 16 | (255 - d) << 8 | (d * 7 & 0xFF);
    raster::veilRow(out.data(), src.data(), 256, color);
    const unsigned a = color >> 24;
    for (unsigned d = 0; d < 256; ++d) {
      for (int shift : {16, 8, 0}) {
        const unsigned s = (color >> shift) & 0xFF, t = (src[d] >> shift) & 0xFF;
        ASSERT_EQ((out[d] >> shift) & 0xFF, (s * a + t * (255 - a) + 127) / 255) << std::hex << color << " " << d;
      }
    }
  }
}

TEST(Image, CopiesShareUntilWritten) {
  Image a(4, 4, 0xFF0000FFu);
  Image b = a;
  EXPECT_TRUE(a.sharesWith(b));
  b.setPixel(1, 1, 0xFFFF0000u);
  EXPECT_FALSE(a.sharesWith(b));
  EXPECT_EQ(a.pixel(1, 1), 0xFF0000FFu);
  // A copy of a rectangle reaching outside is black there.
  const Image c = a.copy({2, 2, 6, 5});
  EXPECT_EQ(c.width(), 4);
  EXPECT_EQ(c.pixel(1, 1), 0xFF0000FFu);
  EXPECT_EQ(c.pixel(3, 2), 0xFF000000u);
}

// The drag repaint in full, as the window's calls say, against the lazy path.
struct Pair {
  FakeText text;
  FakePresenter lazyDamage, plainDamage;
  RasterSurface lazy, plain;
  Image frozen;
  Pair(int w, int h)
      : lazy(w, h, &text, &lazyDamage), plain(w, h, &text, &plainDamage), frozen(fake::patternPicture(w, h)) {
    plain.setLazyRepaint(false);
  }
  void repaint(const IRect& sel) {
    for (RasterSurface* s : {&lazy, &plain}) {
      s->bitBlt(0, 0, s->width(), s->height(), frozen, 0, 0);
      s->fillArgb(kVeil, 0, 0, static_cast<float>(s->width()), static_cast<float>(s->height()));
      s->bitBlt(sel.left, sel.top, sel.width(), sel.height(), frozen, sel.left, sel.top);
      s->refresh();
    }
  }
  void expectSame() {
    EXPECT_EQ(lazy.compose(lazy.rect()), plain.compose(plain.rect()));
    EXPECT_EQ(lazy.image(), plain.image());
    // A part of the picture, also reaching past its edges, is the same part of the whole.
    const IRect part{-7, 20, 130, 170};
    EXPECT_EQ(lazy.image(part), plain.image().copy(part));
  }
};

TEST(LazyRepaint, GivesThePixelsOfTheFullRepaintThroughADrag) {
  Pair p(200, 150);
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> x(-20, 210), y(-20, 160);
  for (int i = 0; i < 40; ++i) {
    int l = x(rng), t = y(rng), r = x(rng), b = y(rng);
    if (r < l) std::swap(l, r);
    if (b < t) std::swap(t, b);
    p.repaint({l, t, r, b});
    p.expectSame();
    EXPECT_EQ(p.lazy.getPixel(l + 1, t + 1), p.plain.getPixel(l + 1, t + 1));
  }
  // Drawing after the repaint lands on the same pixels.
  for (RasterSurface* s : {&p.lazy, &p.plain}) s->line(5, 5, 150, 90, rgb(255, 0, 0), true);
  p.expectSame();
  p.repaint({30, 30, 80, 70});
  p.expectSame();
}

TEST(LazyRepaint, RepaintsOnlyTheOldAndNewSelection) {
  Pair p(400, 300);
  p.repaint({10, 10, 50, 40});
  p.lazyDamage.damage.clear();
  p.repaint({20, 15, 70, 60});
  ASSERT_FALSE(p.lazyDamage.damage.empty());
  // Only the bands where the two areas do not overlap: 10,10-50,40 to 20,15-70,60.
  long area = 0;
  for (const auto& r : p.lazyDamage.damage) area += static_cast<long>(r.width()) * r.height();
  EXPECT_EQ(area, (40L * 30 - 30L * 25) + (50L * 45 - 30L * 25));
  for (const auto& r : p.lazyDamage.damage) EXPECT_TRUE(r.intersected({20, 15, 50, 40}).empty());
  // The plain path repaints everything every step.
  EXPECT_NE(std::find(p.plainDamage.damage.begin(), p.plainDamage.damage.end(), IRect{0, 0, 400, 300}),
            p.plainDamage.damage.end());
  // While only repainting, no full-size canvas is held beside the frozen picture.
  EXPECT_FALSE(p.lazy.canvasAllocated());
}

TEST(TransientLayer, ShowsOverTheCanvasAndClearRemovesIt) {
  FakeText text;
  RasterSurface s(40, 30, &text, nullptr);
  s.setPicture(Image(40, 30, 0xFFFFFFFFu));
  s.setPersistent(false);
  s.line(2, 2, 20, 2, rgb(0, 0, 255), false);
  EXPECT_EQ(s.getPixel(10, 2), rgb(0, 0, 255));  // on screen
  EXPECT_EQ(s.image().pixel(10, 2), 0xFFFFFFFFu);  // not in the canvas
  s.clear();
  EXPECT_EQ(s.getPixel(10, 2), rgb(255, 255, 255));
  s.line(2, 4, 20, 4, rgb(0, 0, 255), false);
  s.setPersistent(true);  // turning persistence on drops the preview
  EXPECT_EQ(s.getPixel(10, 4), rgb(255, 255, 255));
  EXPECT_EQ(s.getPixel(-1, 0), -1);
}

TEST(Ellipse, IsHollowAndTheSameForAMirroredBox) {
  FakeText text;
  RasterSurface a(60, 60, &text, nullptr), b(60, 60, &text, nullptr);
  a.ellipse(10, 10, 50, 40, rgb(255, 0, 0));
  b.ellipse(50, 40, 10, 10, rgb(255, 0, 0));
  EXPECT_EQ(a.image(), b.image());
  EXPECT_EQ(a.getPixel(30, 25), 0);              // no fill inside
  EXPECT_EQ(a.getPixel(30, 10), rgb(255, 0, 0));  // top of the outline
  EXPECT_EQ(a.getPixel(30, 39), rgb(255, 0, 0));  // bottom: the box's bottom is exclusive
  EXPECT_EQ(a.getPixel(30, 40), 0);
  Image before = a.image();
  a.ellipse(20, 20, 20, 30, rgb(255, 0, 0));  // empty box draws nothing
  EXPECT_EQ(a.image(), before);
}

TEST(BoxLine, PassesThroughBothCornersInAnyOrder) {
  FakeText text;
  RasterSurface a(30, 30, &text, nullptr), b(30, 30, &text, nullptr);
  a.line(5, 6, 20, 25, rgb(0, 255, 0), true);
  b.line(20, 25, 5, 6, rgb(0, 255, 0), true);
  EXPECT_EQ(a.image(), b.image());
  EXPECT_EQ(a.getPixel(5, 6), rgb(0, 255, 0));
  EXPECT_EQ(a.getPixel(20, 25), rgb(0, 255, 0));
  EXPECT_EQ(a.getPixel(12, 15), 0);
}

}  // namespace
}  // namespace tolvane::picture
