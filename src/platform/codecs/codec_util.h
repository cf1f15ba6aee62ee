// Helpers the format encoders share.
#pragma once

#include <cerrno>
#include <cstdint>
#include <string>

#include "picture/image.h"
#include "platform/codecs/encoders.h"

namespace tolvane::platform::codecs {

inline EncodeResult fail(int code, std::string description) {
  EncodeResult r;
  r.failure = Failure{code, std::move(description)};
  return r;
}

inline EncodeResult outOfMemory(const char* format) {
  return fail(ENOMEM, std::string(format) + ": out of memory");
}

// One scan line as R, G, B bytes.
inline void toRgb(const Argb* src, int width, std::uint8_t* dst) {
  for (int x = 0; x < width; ++x) {
    const Argb p = src[x];
    dst[0] = static_cast<std::uint8_t>(p >> 16);
    dst[1] = static_cast<std::uint8_t>(p >> 8);
    dst[2] = static_cast<std::uint8_t>(p);
    dst += 3;
  }
}

EncodeResult encodePng(const Image& picture);
EncodeResult encodeJpeg(const Image& picture, int quality);
EncodeResult encodeBmp(const Image& picture);
EncodeResult encodeGif(const Image& picture);
EncodeResult encodeTiff(const Image& picture, int depth, int compression);

}  // namespace tolvane::platform::codecs
