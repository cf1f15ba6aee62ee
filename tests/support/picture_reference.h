// What both views' picture tests check their drawings against: the colour
// at pixels that lie fully on a stroke, a fill or the background of each
// picture, and each picture as the Qt view drew it before the pictures were
// described once (pictures/<name>.pam, straight RGBA).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "layout/icons.h"
#include "platform/controls.h"

namespace tolvane::testutil {

using platform::PictureId;

// A drawn picture: premultiplied 0xAARRGGBB pixels, row after row.
struct Pixels {
  int width = 0, height = 0;
  std::vector<std::uint32_t> argb;
  std::uint32_t at(int x, int y) const { return argb[static_cast<std::size_t>(y) * width + x]; }
};

// Every picture the views draw, by its reference file's name; the window
// icon is no control's picture.
struct PictureCase {
  const char* name;
  std::optional<PictureId> id;
  const layout::Icon& icon() const { return id ? layout::iconOf(*id) : layout::windowIcon(); }
};

inline const PictureCase kPictureCases[] = {
    {"handle", PictureId::Handle},       {"combo_rest", PictureId::ComboRest}, {"combo_hover", PictureId::ComboHover},
    {"combo_pressed", PictureId::ComboPressed}, {"rect", PictureId::IconRect}, {"ellipse", PictureId::IconEllipse},
    {"text", PictureId::IconText},       {"arrow", PictureId::IconArrow},      {"undo", PictureId::IconUndo},
    {"redo", PictureId::IconRedo},       {"save", PictureId::IconSave},        {"close", PictureId::IconClose},
    {"copy", PictureId::IconCopy},       {"window_icon", std::nullopt},
};

constexpr std::uint32_t kInk = 0xFF333D4A, kAccent = 0xFF007AEC, kRed = 0xFFD93535, kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kClear = 0;

struct KeyPixel {
  const char* name;
  int width, height;
  int x, y;
  std::uint32_t color;
};

inline const KeyPixel kKeyPixels[] = {
    {"rect", 16, 16, 8, 3, kInk},          {"rect", 16, 16, 8, 8, kClear},
    {"ellipse", 16, 16, 1, 8, kInk},       {"ellipse", 16, 16, 8, 8, kClear},
    {"text", 16, 16, 8, 9, kInk},  // the A's bar
    {"arrow", 16, 16, 6, 9, kInk},         {"arrow", 16, 16, 2, 2, kClear},
    {"undo", 16, 16, 4, 5, kInk},   // the head on the left
    {"redo", 16, 16, 11, 5, kInk},  // and on the right
    {"redo", 16, 16, 4, 5, kClear},
    {"save", 16, 16, 7, 4, kInk},          {"save", 16, 16, 7, 11, kAccent},
    {"close", 16, 16, 8, 8, kRed},         {"close", 16, 16, 8, 2, kClear},
    {"copy", 16, 16, 2, 5, kInk},          {"copy", 16, 16, 5, 10, kAccent},
    {"copy", 16, 16, 8, 8, kWhite},
    {"handle", 4, 4, 0, 0, kAccent},       {"handle", 4, 4, 3, 3, kAccent},
    {"combo_rest", 50, 22, 0, 0, 0xFFA0A0A0},     {"combo_rest", 50, 22, 10, 10, kWhite},
    {"combo_rest", 50, 22, 40, 3, 0xFFF0F0F0},    {"combo_rest", 50, 22, 40, 9, 0xFF404040},  // the arrow
    {"combo_rest", 50, 22, 32, 10, 0xFFA0A0A0},   {"combo_hover", 50, 22, 49, 21, 0xFF0078D7},
    {"combo_hover", 50, 22, 40, 3, 0xFFE5F1FB},   {"combo_pressed", 50, 22, 0, 21, 0xFF005499},
    {"combo_pressed", 50, 22, 40, 3, 0xFFCCE4F7},
    {"window_icon", 16, 16, 0, 0, kClear},  {"window_icon", 16, 16, 2, 13, 0xFF222222},
    {"window_icon", 16, 16, 7, 7, 0xFFDEEEFF},    {"window_icon", 16, 16, 11, 4, kAccent},  // the frame's corner
    {"window_icon", 16, 16, 12, 12, kAccent},  // a handle
};

// Within `tolerance` in every channel.
inline bool similar(std::uint32_t a, std::uint32_t b, int tolerance = 3) {
  for (int shift = 0; shift < 32; shift += 8)
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance)
      return false;
  return true;
}

// The reference picture `name`, premultiplied; 0 x 0 when it cannot be read.
inline Pixels referencePicture(const std::string& name) {
  std::ifstream in(std::string(TOLVANE_SOURCE_DIR) + "/tests/support/pictures/" + name + ".pam", std::ios::binary);
  Pixels p;
  int depth = 0, maxval = 0;
  for (std::string line; std::getline(in, line) && line != "ENDHDR";) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "WIDTH") words >> p.width;
    if (key == "HEIGHT") words >> p.height;
    if (key == "DEPTH") words >> depth;
    if (key == "MAXVAL") words >> maxval;
  }
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (depth != 4 || maxval != 255 || bytes.size() != static_cast<std::size_t>(p.width) * p.height * 4) return {};
  for (std::size_t i = 0; i < bytes.size(); i += 4) {
    const std::uint32_t a = bytes[i + 3];
    auto pre = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    p.argb.push_back(a << 24 | pre(bytes[i]) << 16 | pre(bytes[i + 1]) << 8 | pre(bytes[i + 2]));
  }
  return p;
}

// How far a drawing is from its reference: the largest difference of any
// channel of any pixel, and all channels' differences summed over the
// reference's ink (its alpha summed), so that a missing or misplaced figure
// counts however small the picture.
struct Difference {
  int largest = 0;
  double relative = 0;
};

inline Difference difference(const Pixels& drawn, const Pixels& reference) {
  Difference d;
  double sum = 0, ink = 0;
  for (std::size_t i = 0; i < reference.argb.size(); ++i) {
    for (int shift = 0; shift < 32; shift += 8) {
      const int delta = std::abs(static_cast<int>((drawn.argb[i] >> shift) & 0xFF) -
                                 static_cast<int>((reference.argb[i] >> shift) & 0xFF));
      d.largest = std::max(d.largest, delta);
      sum += delta / 4.0;
    }
    ink += (reference.argb[i] >> 24);
  }
  d.relative = ink > 0 ? sum / ink : 0;
  return d;
}

inline const PictureCase& pictureCase(const std::string& name) {
  for (const PictureCase& c : kPictureCases)
    if (name == c.name) return c;
  throw std::invalid_argument(name);
}

// Every key pixel of the pictures `draw` (PictureCase -> Pixels) gives.
template <class Draw>
void expectKeyPixels(Draw draw) {
  for (const KeyPixel& k : kKeyPixels) {
    const Pixels p = draw(pictureCase(k.name));
    ASSERT_EQ(p.width, k.width) << k.name;
    ASSERT_EQ(p.height, k.height) << k.name;
    EXPECT_TRUE(similar(p.at(k.x, k.y), k.color))
        << k.name << " at " << k.x << "," << k.y << ": " << std::hex << p.at(k.x, k.y) << " for " << k.color;
  }
}

// How far each picture `draw` gives is from its reference, by name; a
// missing reference or a picture of another size fails the test.
template <class Draw>
std::vector<std::pair<std::string, Difference>> differencesFromReference(Draw draw) {
  std::vector<std::pair<std::string, Difference>> out;
  for (const PictureCase& c : kPictureCases) {
    const Pixels reference = referencePicture(c.name);
    const Pixels p = draw(c);
    EXPECT_GT(reference.width, 0) << c.name << ": no reference";
    EXPECT_TRUE(p.width == reference.width && p.height == reference.height) << c.name << ": another size";
    if (reference.width > 0 && p.width == reference.width && p.height == reference.height)
      out.emplace_back(c.name, difference(p, reference));
  }
  return out;
}

}  // namespace tolvane::testutil
