#include "platform/wayland/kwin_shot.h"

#include <cstring>
#include <limits>

namespace tolvane::platform::wayland {

namespace {

ScreenRead unreadable(const std::string& why) {
  return {{}, Failure{kScreenReadFailed, "KWin's screenshot " + why}};
}

// The largest picture taken: 32768 pixels a side, as Qt's own limit.
constexpr std::uint32_t kMaxSide = 32768;

}  // namespace

std::optional<KWinPixels> kwinPixelsOf(std::uint32_t qimageFormat) {
  switch (qimageFormat) {
    case 4:  // Format_RGB32
    case 5:  // Format_ARGB32
    case 6:  // Format_ARGB32_Premultiplied
      return KWinPixels::Argb32Word;
    case 16:  // Format_RGBX8888
    case 17:  // Format_RGBA8888
    case 18:  // Format_RGBA8888_Premultiplied
      return KWinPixels::RgbaBytes;
    default:
      return std::nullopt;
  }
}

std::size_t kwinShotBytes(const KWinShotInfo& info) {
  if (!info.width || !info.height || !info.stride || *info.height == 0) return 0;
  return static_cast<std::size_t>(*info.stride) * (*info.height - 1) + static_cast<std::size_t>(*info.width) * 4;
}

ScreenRead decodeKWinShot(const KWinShotInfo& info, std::string_view bytes) {
  if (info.type && *info.type != "raw") return unreadable("came as \"" + *info.type + "\", not as raw pixels");
  if (!info.width || !info.height || !info.stride || !info.format)
    return unreadable("came without its size, row length or pixel format");
  const std::uint32_t w = *info.width, h = *info.height, stride = *info.stride;
  if (w == 0 || h == 0 || w > kMaxSide || h > kMaxSide)
    return unreadable("has an impossible size, " + std::to_string(w) + "x" + std::to_string(h));
  const std::optional<KWinPixels> pixels = kwinPixelsOf(*info.format);
  if (!pixels) return unreadable("came in pixel format " + std::to_string(*info.format) + ", which is not read here");
  if (stride / 4 < w)
    return unreadable("has rows of " + std::to_string(stride) + " bytes, too short for " + std::to_string(w) +
                      " pixels");
  // The last row needs only its pixels, not its padding.
  const std::size_t needed = kwinShotBytes(info);
  if (bytes.size() < needed)
    return unreadable("was cut short: " + std::to_string(bytes.size()) + " of " + std::to_string(needed) +
                      " bytes came through the pipe");

  Image out = Image::uninitialized(static_cast<int>(w), static_cast<int>(h));
  for (std::uint32_t y = 0; y < h; ++y) {
    const auto* row = reinterpret_cast<const unsigned char*>(bytes.data()) + static_cast<std::size_t>(y) * stride;
    Argb* dst = out.scanLine(static_cast<int>(y));
    if (*pixels == KWinPixels::Argb32Word) {
      std::memcpy(dst, row, static_cast<std::size_t>(w) * 4);
      for (std::uint32_t x = 0; x < w; ++x) dst[x] |= 0xFF000000u;
    } else {
      for (std::uint32_t x = 0; x < w; ++x, row += 4)
        dst[x] = 0xFF000000u | (Argb{row[0]} << 16) | (Argb{row[1]} << 8) | row[2];
    }
  }
  return {std::move(out), std::nullopt};
}

std::string kwinRefusalText(std::string_view errorName, std::string_view message) {
  std::string text = "KWin refused the screenshot (" + std::string(errorName);
  if (!message.empty()) text += ": " + std::string(message);
  text += ")";
  if (errorName == kKWinNotAuthorized)
    text += "; KWin allows it to a program whose desktop entry io.github.tolvane.Tolvane.desktop names it in "
            "X-KDE-DBUS-Restricted-Interfaces and whose Exec= is the program's full path";
  return text;
}

}  // namespace tolvane::platform::wayland
