#include "platform/wayland/kwin_shot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tolvane::platform::wayland {
namespace {

// A 3x2 picture as KWin writes it: rows of `stride` bytes, the padding
// filled with a marker that must never show.
std::string rawRows(bool rgbaBytes, std::uint32_t stride, Argb alpha = 0xFF000000u) {
  const Argb colours[2][3] = {{0x112233, 0x445566, 0x778899}, {0xAABBCC, 0xDDEEFF, 0x010203}};
  std::string out(stride * 2, '\x5A');
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const Argb c = colours[y][x] | alpha;
      char* at = out.data() + y * stride + x * 4;
      if (rgbaBytes) {
        const unsigned char b[4] = {static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                                    static_cast<unsigned char>(c), static_cast<unsigned char>(c >> 24)};
        std::memcpy(at, b, 4);
      } else {
        std::memcpy(at, &c, 4);
      }
    }
  return out;
}

Image expected() {
  Image img(3, 2);
  const Argb colours[2][3] = {{0x112233, 0x445566, 0x778899}, {0xAABBCC, 0xDDEEFF, 0x010203}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) img.setPixel(x, y, 0xFF000000u | colours[y][x]);
  return img;
}

KWinShotInfo info(std::uint32_t format, std::uint32_t stride) { return {"raw", 3, 2, stride, format}; }

struct FormatCase {
  const char* name;
  std::uint32_t format;
  bool rgbaBytes;
  std::uint32_t stride;
  Argb alpha;  // what the source's alpha holds; the picture is opaque whatever it is
};

class DecodeKWinShot : public ::testing::TestWithParam<FormatCase> {};

TEST_P(DecodeKWinShot, ReadsEveryRowPastItsPaddingAsAnOpaquePicture) {
  const FormatCase& c = GetParam();
  const ScreenRead read = decodeKWinShot(info(c.format, c.stride), rawRows(c.rgbaBytes, c.stride, c.alpha));
  ASSERT_TRUE(read.ok()) << read.failure->description;
  EXPECT_EQ(read.picture, expected());
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DecodeKWinShot,
    ::testing::Values(FormatCase{"Rgb32Packed", 4, false, 12, 0x00000000u},
                      FormatCase{"Argb32Padded", 5, false, 16, 0xFF000000u},
                      FormatCase{"Argb32PremultipliedPadded", 6, false, 20, 0xFF000000u},
                      FormatCase{"Rgbx8888", 16, true, 12, 0x00000000u},
                      FormatCase{"Rgba8888Padded", 17, true, 16, 0x80000000u},
                      FormatCase{"Rgba8888Premultiplied", 18, true, 12, 0xFF000000u}),
    [](const auto& c) { return std::string(c.param.name); });

// The last row may come without its padding: the pipe carries only what is drawn.
TEST(DecodeKWinShotBytes, NeedsTheLastRowsPixelsButNotItsPadding) {
  std::string bytes = rawRows(false, 16);
  bytes.resize(16 + 12);
  EXPECT_TRUE(decodeKWinShot(info(6, 16), bytes).ok());
  bytes.pop_back();
  const ScreenRead cut = decodeKWinShot(info(6, 16), bytes);
  ASSERT_FALSE(cut.ok());
  EXPECT_NE(cut.failure->description.find("cut short: 27 of 28 bytes"), std::string::npos)
      << cut.failure->description;
}

struct BadCase {
  const char* name;
  KWinShotInfo info;
  const char* says;
};

class DecodeKWinShotRefuses : public ::testing::TestWithParam<BadCase> {};

TEST_P(DecodeKWinShotRefuses, WithWhyAndNoPicture) {
  const BadCase& c = GetParam();
  const ScreenRead read = decodeKWinShot(c.info, rawRows(false, 64));
  ASSERT_FALSE(read.ok());
  EXPECT_TRUE(read.picture.isNull());
  EXPECT_EQ(read.failure->error, kScreenReadFailed);
  EXPECT_NE(read.failure->description.find(c.says), std::string::npos) << read.failure->description;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, DecodeKWinShotRefuses,
    ::testing::Values(BadCase{"NotRaw", {"png", 3, 2, 12, 6}, "came as \"png\""},
                      BadCase{"NoWidth", {"raw", std::nullopt, 2, 12, 6}, "without its size"},
                      BadCase{"NoStride", {"raw", 3, 2, std::nullopt, 6}, "without its size, row length"},
                      BadCase{"NoFormat", {"raw", 3, 2, 12, std::nullopt}, "pixel format"},
                      BadCase{"ZeroHeight", {"raw", 3, 0, 12, 6}, "impossible size, 3x0"},
                      BadCase{"Huge", {"raw", 40000, 2, 160000, 6}, "impossible size"},
                      BadCase{"RowsTooShort", {"raw", 3, 2, 11, 6}, "rows of 11 bytes"},
                      // Format_RGB16 and Format_RGB30: not read here.
                      BadCase{"Rgb16", {"raw", 3, 2, 12, 7}, "pixel format 7"},
                      BadCase{"Rgb30", {"raw", 3, 2, 12, 21}, "pixel format 21"},
                      BadCase{"TooFewBytes", {"raw", 3, 40, 12, 6}, "cut short"}),
    [](const auto& c) { return std::string(c.param.name); });

// What the reader waits for before the pipe closes.
TEST(KWinShotBytes, EveryRowButTheLastWithItsPadding) {
  EXPECT_EQ(kwinShotBytes(info(6, 16)), 16u + 12u);
  EXPECT_EQ(kwinShotBytes({"raw", 1920, 1080, 7680, 6}), 7680u * 1080u);
  EXPECT_EQ(kwinShotBytes({"raw", 3, 2, std::nullopt, 6}), 0u);
  EXPECT_EQ(kwinShotBytes({"raw", 3, 0, 12, 6}), 0u);
}

// No type is taken as raw: the interface's first versions named none.
TEST(DecodeKWinShotBytes, AReplyWithoutATypeIsRaw) {
  KWinShotInfo noType = info(4, 12);
  noType.type.reset();
  EXPECT_TRUE(decodeKWinShot(noType, rawRows(false, 12)).ok());
}

TEST(KWinRefusalText, SaysHowToAllowItOnlyForARefusal) {
  const std::string refused = kwinRefusalText(kKWinNotAuthorized, "The process is not authorized");
  EXPECT_NE(refused.find("X-KDE-DBUS-Restricted-Interfaces"), std::string::npos) << refused;
  EXPECT_NE(refused.find("The process is not authorized"), std::string::npos) << refused;
  const std::string other = kwinRefusalText("org.kde.KWin.ScreenShot2.Error.InvalidScreen", "");
  EXPECT_EQ(other.find("X-KDE-DBUS"), std::string::npos) << other;
  EXPECT_NE(other.find("InvalidScreen"), std::string::npos) << other;
}

}  // namespace
}  // namespace tolvane::platform::wayland
