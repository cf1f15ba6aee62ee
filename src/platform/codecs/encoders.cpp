#include "platform/codecs/encoders.h"

#include <limits>
#include <new>

#include "platform/codecs/codec_util.h"

namespace tolvane::platform::codecs {

namespace {

void put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}

}  // namespace

// Windows bitmap: file header, 40-byte info header, 24-bit rows bottom-up,
// each padded to a multiple of 4 bytes.
EncodeResult encodeBmp(const Image& picture) {
  const std::uint64_t w = static_cast<std::uint64_t>(picture.width());
  const std::uint64_t h = static_cast<std::uint64_t>(picture.height());
  const std::uint64_t stride = (w * 3 + 3) / 4 * 4;
  constexpr std::uint64_t kHeaders = 14 + 40;
  const std::uint64_t total = kHeaders + stride * h;
  if (total > std::numeric_limits<std::uint32_t>::max())
    return fail(kEncodeTooLarge, "BMP: a " + std::to_string(w) + "x" + std::to_string(h) +
                                     " picture does not fit in a bitmap file");

  EncodeResult r;
  try {
    r.bytes.assign(static_cast<std::size_t>(total), 0);
  } catch (const std::bad_alloc&) {
    return outOfMemory("BMP");
  }
  std::uint8_t* b = r.bytes.data();
  b[0] = 'B';
  b[1] = 'M';
  put32(b + 2, static_cast<std::uint32_t>(total));
  put32(b + 10, static_cast<std::uint32_t>(kHeaders));
  std::uint8_t* info = b + 14;
  put32(info + 0, 40);
  put32(info + 4, static_cast<std::uint32_t>(w));
  put32(info + 8, static_cast<std::uint32_t>(h));  // positive: bottom-up
  put16(info + 12, 1);                              // planes
  put16(info + 14, 24);                             // bits per pixel
  put32(info + 16, 0);                              // BI_RGB
  put32(info + 20, static_cast<std::uint32_t>(stride * h));
  put32(info + 24, 3780);  // 96 dpi in pixels per metre
  put32(info + 28, 3780);

  std::uint8_t* row = b + kHeaders;
  for (int y = picture.height() - 1; y >= 0; --y, row += stride) {
    const Argb* src = picture.constScanLine(y);
    std::uint8_t* d = row;
    for (int x = 0; x < picture.width(); ++x, d += 3) {
      d[0] = static_cast<std::uint8_t>(src[x]);        // blue
      d[1] = static_cast<std::uint8_t>(src[x] >> 8);   // green
      d[2] = static_cast<std::uint8_t>(src[x] >> 16);  // red
    }
  }
  return r;
}

EncodeResult LibEncoders::encode(Format format, const Image& picture, const EncodeParams& params) {
  if (picture.isNull() || !picture.constBits())
    return fail(kEncodeEmptyPicture, "the picture is empty");
  switch (format) {
    case Format::Png: return encodePng(picture);
    case Format::Jpeg: return encodeJpeg(picture, params.jpegQuality);
    case Format::Bmp: return encodeBmp(picture);
    case Format::Gif: return encodeGif(picture);
    case Format::Tiff: return encodeTiff(picture, params.tiffDepth, params.tiffCompression);
  }
  return fail(kEncodeBadParameter, "unknown picture format");
}

}  // namespace tolvane::platform::codecs
