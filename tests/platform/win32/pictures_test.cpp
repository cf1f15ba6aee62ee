// The controls' pictures on Windows: their sizes, and the colour at pixels
// that lie fully on a stroke, a fill or the background of each one.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/win32/pictures.h"

namespace tolvane::platform::win32 {
namespace {

constexpr std::uint32_t kInk = 0xFF333D4A, kAccent = 0xFF007AEC, kRed = 0xFFD93535, kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kClear = 0;

std::uint32_t at(const Picture& p, int x, int y) { return p.pixels[static_cast<std::size_t>(y) * p.width + x]; }

// Within 3 per channel: antialiasing may leave a fully covered pixel a shade off.
bool similar(std::uint32_t a, std::uint32_t b) {
  for (int shift = 0; shift < 32; shift += 8)
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 3) return false;
  return true;
}

struct Expected {
  PictureId id;
  int width, height;
  int x, y;
  std::uint32_t color;
};

const char* nameOf(PictureId id) {
  static const char* const names[] = {"None", "Handle", "ComboRest", "ComboHover", "ComboPressed",
                                      "IconRect", "IconEllipse", "IconText", "IconArrow", "IconUndo",
                                      "IconRedo", "IconSave", "IconClose", "IconCopy"};
  return names[static_cast<int>(id)];
}

// Test names such as IconRect_at_8_3.
std::string testName(const ::testing::TestParamInfo<Expected>& info) {
  return std::string(nameOf(info.param.id)) + "_at_" + std::to_string(info.param.x) + "_" +
         std::to_string(info.param.y);
}

class PictureAt : public ::testing::TestWithParam<Expected> {};

TEST_P(PictureAt, HasItsSizeAndColour) {
  const Expected& e = GetParam();
  const Picture* p = picture(e.id, 1.0);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->width, e.width);
  EXPECT_EQ(p->height, e.height);
  EXPECT_PRED2(similar, at(*p, e.x, e.y), e.color) << std::hex << at(*p, e.x, e.y) << " at " << std::dec << e.x
                                                  << "," << e.y;
}

INSTANTIATE_TEST_SUITE_P(
    EveryPicture, PictureAt,
    ::testing::Values(Expected{PictureId::IconRect, 16, 16, 8, 3, kInk}, Expected{PictureId::IconRect, 16, 16, 8, 8, kClear},
                      Expected{PictureId::IconEllipse, 16, 16, 1, 8, kInk},
                      Expected{PictureId::IconEllipse, 16, 16, 8, 8, kClear},
                      Expected{PictureId::IconText, 16, 16, 8, 9, kInk},  // the A's bar
                      Expected{PictureId::IconArrow, 16, 16, 6, 9, kInk},
                      Expected{PictureId::IconArrow, 16, 16, 2, 2, kClear},
                      Expected{PictureId::IconUndo, 16, 16, 4, 5, kInk},   // the head on the left
                      Expected{PictureId::IconRedo, 16, 16, 11, 5, kInk},  // and on the right
                      Expected{PictureId::IconRedo, 16, 16, 4, 5, kClear},
                      Expected{PictureId::IconSave, 16, 16, 7, 4, kInk},
                      Expected{PictureId::IconSave, 16, 16, 7, 11, kAccent},
                      Expected{PictureId::IconClose, 16, 16, 8, 8, kRed},
                      Expected{PictureId::IconClose, 16, 16, 8, 2, kClear},
                      Expected{PictureId::IconCopy, 16, 16, 2, 5, kInk},
                      Expected{PictureId::IconCopy, 16, 16, 5, 10, kAccent},
                      Expected{PictureId::IconCopy, 16, 16, 8, 8, kWhite},
                      Expected{PictureId::Handle, 4, 4, 0, 0, kAccent}, Expected{PictureId::Handle, 4, 4, 3, 3, kAccent},
                      Expected{PictureId::ComboRest, 50, 22, 0, 0, 0xFFA0A0A0},
                      Expected{PictureId::ComboRest, 50, 22, 10, 10, kWhite},
                      Expected{PictureId::ComboRest, 50, 22, 40, 3, 0xFFF0F0F0},
                      Expected{PictureId::ComboRest, 50, 22, 40, 9, 0xFF404040},  // the arrow
                      Expected{PictureId::ComboRest, 50, 22, 32, 10, 0xFFA0A0A0},
                      Expected{PictureId::ComboHover, 50, 22, 49, 21, 0xFF0078D7},
                      Expected{PictureId::ComboHover, 50, 22, 40, 3, 0xFFE5F1FB},
                      Expected{PictureId::ComboPressed, 50, 22, 0, 21, 0xFF005499},
                      Expected{PictureId::ComboPressed, 50, 22, 40, 3, 0xFFCCE4F7}),
    testName);

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
  EXPECT_PRED2(similar, at(*p, 16, 7), kInk);
  EXPECT_PRED2(similar, at(*p, 16, 16), kClear);
  EXPECT_EQ(picture(PictureId::IconRect, 2.0), p);
  EXPECT_NE(picture(PictureId::IconRect, 1.0), p);
  EXPECT_EQ(picture(PictureId::None, 1.0), nullptr);
}

}  // namespace
}  // namespace tolvane::platform::win32
