// What KWin's own screenshot interface (org.kde.KWin.ScreenShot2) hands
// over, read without D-Bus or Qt: the reply describes the raw pixels
// ("type", "width", "height", "stride", "format"), and the pixels come
// through a pipe the caller passed. The caller collects both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace tolvane::platform::wayland {

// The reply's entries as they came; a missing entry stays empty.
struct KWinShotInfo {
  std::optional<std::string> type;
  std::optional<std::uint32_t> width, height, stride, format;
};

// The pixel layouts read, by their number in QImage::Format: a 32-bit word
// 0xAARRGGBB in native byte order, or the bytes R, G, B, A in that order.
enum class KWinPixels { Argb32Word, RgbaBytes };
std::optional<KWinPixels> kwinPixelsOf(std::uint32_t qimageFormat);

// How many bytes of the pipe the reply's picture needs: every row but the
// last with its padding, the last without; 0 when the reply does not say.
std::size_t kwinShotBytes(const KWinShotInfo& info);

// The picture the pipe's `bytes` hold as the reply describes them, made
// opaque; or why it cannot be read (not raw pixels, a size or stride that
// does not fit, too few bytes, a format not read here). Bytes past the last
// row are ignored.
ScreenRead decodeKWinShot(const KWinShotInfo& info, std::string_view bytes);

// The D-Bus error KWin answers a program it does not let take screenshots
// with, and what to tell the user of it.
inline constexpr char kKWinNotAuthorized[] = "org.kde.KWin.ScreenShot2.Error.NoAuthorized";
std::string kwinRefusalText(std::string_view errorName, std::string_view message);

}  // namespace tolvane::platform::wayland
