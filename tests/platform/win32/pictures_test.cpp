// The controls' pictures on Windows, drawn by GDI+ from the shared
// description: their sizes and colours at key pixels, their smoothing, and
// how close they come to the Qt view's drawing of the same description.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <iterator>

#include "picture_reference.h"
#include "platform/win32/pictures.h"

namespace tolvane::platform::win32 {
namespace {

using testutil::kClear;
using testutil::kInk;
using testutil::PictureCase;
using testutil::Pixels;
using testutil::similar;

std::uint32_t at(const Picture& p, int x, int y) { return p.pixels[static_cast<std::size_t>(y) * p.width + x]; }

// The picture as the window shows it; the window icon, which no control
// shows, drawn afresh.
Pixels copy(const Picture* p) {
  if (!p || !p->pixels) return {};
  return {p->width, p->height, std::vector<std::uint32_t>(p->pixels, p->pixels + p->width * p->height)};
}

Pixels drawn(const PictureCase& c) {
  if (c.id) return copy(picture(*c.id, 1.0));
  const Picture fresh = drawIcon(c.icon(), 1.0);
  Pixels out = copy(&fresh);
  if (fresh.bitmap) DeleteObject(fresh.bitmap);
  return out;
}

TEST(Pictures, KeyPixelsHaveTheirColours) { testutil::expectKeyPixels(drawn); }

// The Qt view computes each pixel's exact coverage; here 8 x 8 hard samples
// are averaged and round caps are GDI+'s own polygons. So an edge pixel may
// differ by up to 96 of 255 in a channel (seen: 91, on the A's bar end), and
// all differences together stay under 8% of the picture's ink (seen: 4.2%,
// the ellipse). A figure missing, moved by a pixel or in another colour
// breaks one or the other.
TEST(Pictures, AgreeWithTheQtDrawing) {
  const auto differences = testutil::differencesFromReference(drawn);
  EXPECT_EQ(differences.size(), std::size(testutil::kPictureCases));
  for (const auto& [name, d] : differences) {
    EXPECT_LE(d.largest, 96) << name;
    EXPECT_LE(d.relative, 0.08) << name;
  }
}

// Every icon's edges are smoothed: some pixels are partly covered.
TEST(Pictures, IconsAreAntialiased) {
  for (int i = static_cast<int>(PictureId::IconRect); i <= static_cast<int>(PictureId::IconCopy); ++i) {
    const Picture* p = picture(static_cast<PictureId>(i), 1.0);
    ASSERT_NE(p, nullptr) << i;
    int partial = 0;
    for (int k = 0; k < p->width * p->height; ++k) {
      const std::uint32_t alpha = p->pixels[k] >> 24;
      partial += alpha > 0 && alpha < 255;
    }
    EXPECT_GT(partial, 0) << "icon " << i;
  }
}

// Redo is undo mirrored about the icon's middle. Hard edges drawn at eight
// times the size are not quite symmetric, so coverage may differ a little.
TEST(Pictures, RedoIsUndoMirrored) {
  const Picture* undo = picture(PictureId::IconUndo, 1.0);
  const Picture* redo = picture(PictureId::IconRedo, 1.0);
  ASSERT_TRUE(undo && redo);
  int differing = 0, inked = 0;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const int a = static_cast<int>(at(*undo, x, y) >> 24), b = static_cast<int>(at(*redo, 15 - x, y) >> 24);
      differing += std::abs(a - b) > 0x40;
      inked += a == 0xFF;
    }
  }
  EXPECT_GT(inked, 10);
  EXPECT_LE(differing, 2);
}

// At twice the density the icon has twice the pixels and the same shape;
// each scale is drawn once and kept.
TEST(Pictures, DrawnAtTheDeviceScale) {
  const Picture* p = picture(PictureId::IconRect, 2.0);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->width, 32);
  EXPECT_EQ(p->height, 32);
  EXPECT_TRUE(similar(at(*p, 16, 7), kInk));
  EXPECT_TRUE(similar(at(*p, 16, 16), kClear));
  EXPECT_EQ(picture(PictureId::IconRect, 2.0), p);
  EXPECT_NE(picture(PictureId::IconRect, 1.0), p);
  EXPECT_EQ(picture(PictureId::None, 1.0), nullptr);
}

}  // namespace
}  // namespace tolvane::platform::win32
