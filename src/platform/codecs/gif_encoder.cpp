// GIF: libimagequant picks a 256-colour palette and remaps the picture with
// dithering; giflib writes the indexed picture.
#include <gif_lib.h>
#include <libimagequant.h>

#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "platform/codecs/codec_util.h"

namespace tolvane::platform::codecs {

namespace {

struct LiqAttrFree { void operator()(liq_attr* p) const { liq_attr_destroy(p); } };
struct LiqImageFree { void operator()(liq_image* p) const { liq_image_destroy(p); } };
struct LiqResultFree { void operator()(liq_result* p) const { liq_result_destroy(p); } };
struct GifMapFree { void operator()(ColorMapObject* p) const { GifFreeMapObject(p); } };

struct GifSink {
  std::vector<std::uint8_t>* out = nullptr;
  bool outOfMemory = false;
};

int onWrite(GifFileType* gif, const GifByteType* data, int length) {
  auto* sink = static_cast<GifSink*>(gif->UserData);
  try {
    sink->out->insert(sink->out->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    sink->outOfMemory = true;
    return 0;  // giflib takes a short write as a failure
  }
  return length;
}

std::string liqText(liq_error e) {
  switch (e) {
    case LIQ_QUALITY_TOO_LOW: return "quality too low";
    case LIQ_VALUE_OUT_OF_RANGE: return "value out of range";
    case LIQ_OUT_OF_MEMORY: return "out of memory";
    case LIQ_ABORTED: return "aborted";
    case LIQ_BITMAP_NOT_AVAILABLE: return "bitmap not available";
    case LIQ_BUFFER_TOO_SMALL: return "buffer too small";
    case LIQ_INVALID_POINTER: return "invalid pointer";
    case LIQ_UNSUPPORTED: return "unsupported";
    default: return "error " + std::to_string(static_cast<int>(e));
  }
}

std::string gifText(int code) {
  const char* t = GifErrorString(code);
  return t ? t : "giflib error " + std::to_string(code);
}

// Speed 1 to 10 trades palette quality for time. Measured on screenshots,
// 3 to 6 take about the same time and 8 and up lose visibly on photos; 4 is
// the library's own default.
constexpr int kQuantizeSpeed = 4;

// A GIF colour table of a power-of-two size holding the palette; unused
// entries stay black.
std::unique_ptr<ColorMapObject, GifMapFree> colourTable(const liq_palette* pal) {
  int tableSize = 2;
  while (tableSize < static_cast<int>(pal->count)) tableSize *= 2;
  std::unique_ptr<ColorMapObject, GifMapFree> map(GifMakeMapObject(tableSize, nullptr));
  if (!map) return map;
  for (int i = 0; i < tableSize; ++i) {
    GifColorType& c = map->Colors[i];
    if (i < static_cast<int>(pal->count)) {
      c.Red = pal->entries[i].r;
      c.Green = pal->entries[i].g;
      c.Blue = pal->entries[i].b;
    } else {
      c.Red = c.Green = c.Blue = 0;
    }
  }
  return map;
}

// The picture in at most 256 colours: its colour table and one index per pixel.
struct Indexed {
  std::unique_ptr<ColorMapObject, GifMapFree> map;
  std::vector<std::uint8_t> pixels;
};

// Reduces the picture's colours into `out`; a failure when it cannot.
std::optional<Failure> quantize(const Image& picture, Indexed& out) {
  const int w = picture.width(), h = picture.height();
  // libimagequant reads R, G, B, A bytes.
  std::vector<liq_color> rgba;
  std::vector<void*> rows;
  try {
    rgba.resize(picture.pixelCount());
    rows.resize(static_cast<std::size_t>(h));
    out.pixels.resize(picture.pixelCount());
  } catch (const std::bad_alloc&) {
    return outOfMemory("GIF").failure;
  }
  for (int y = 0; y < h; ++y) {
    const Argb* src = picture.constScanLine(y);
    liq_color* dst = rgba.data() + static_cast<std::size_t>(y) * w;
    for (int x = 0; x < w; ++x)
      dst[x] = {static_cast<unsigned char>(src[x] >> 16), static_cast<unsigned char>(src[x] >> 8),
                static_cast<unsigned char>(src[x]), 255};
    rows[static_cast<std::size_t>(y)] = dst;
  }

  std::unique_ptr<liq_attr, LiqAttrFree> attr(liq_attr_create());
  if (!attr) return outOfMemory("GIF").failure;
  liq_set_max_colors(attr.get(), 256);
  liq_set_speed(attr.get(), kQuantizeSpeed);
  std::unique_ptr<liq_image, LiqImageFree> image(liq_image_create_rgba_rows(attr.get(), rows.data(), w, h, 0));
  if (!image) return Failure{kEncodeLibraryError, "GIF: libimagequant refused the picture"};
  liq_result* raw = nullptr;
  liq_error e = liq_image_quantize(image.get(), attr.get(), &raw);
  std::unique_ptr<liq_result, LiqResultFree> result(raw);
  if (e != LIQ_OK || !result) return Failure{kEncodeLibraryError, "GIF: colour reduction failed: " + liqText(e)};
  liq_set_dithering_level(result.get(), 1.0f);
  e = liq_write_remapped_image(result.get(), image.get(), out.pixels.data(), out.pixels.size());
  if (e != LIQ_OK) return Failure{kEncodeLibraryError, "GIF: remapping failed: " + liqText(e)};
  out.map = colourTable(liq_get_palette(result.get()));
  if (!out.map) return outOfMemory("GIF").failure;
  return std::nullopt;
}

// The GIF file of an indexed picture w by h.
EncodeResult writeGif(int w, int h, Indexed& in) {
  EncodeResult r;
  GifSink sink{&r.bytes};
  int err = 0;
  GifFileType* gif = EGifOpen(&sink, onWrite, &err);
  if (!gif) return fail(kEncodeLibraryError, "GIF: " + gifText(err));
  EGifSetGifVersion(gif, true);
  bool ok = EGifPutScreenDesc(gif, w, h, 8, 0, in.map.get()) == GIF_OK &&
            EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
  for (int y = 0; ok && y < h; ++y)
    ok = EGifPutLine(gif, in.pixels.data() + static_cast<std::size_t>(y) * w, w) == GIF_OK;
  if (!ok) err = gif->Error;
  int closeErr = 0;
  // EGifCloseFile writes the trailer and frees gif whatever happens.
  if (EGifCloseFile(gif, &closeErr) != GIF_OK && ok) {
    ok = false;
    err = closeErr;
  }
  if (!ok || sink.outOfMemory) {
    if (sink.outOfMemory) return outOfMemory("GIF");
    return fail(kEncodeLibraryError, "GIF: " + gifText(err));
  }
  return r;
}

}  // namespace

EncodeResult encodeGif(const Image& picture) {
  if (picture.width() > 65535 || picture.height() > 65535)
    return fail(kEncodeTooLarge, "GIF: sides longer than 65535 pixels cannot be written");
  Indexed indexed;
  if (auto failure = quantize(picture, indexed)) return {{}, std::move(failure)};
  return writeGif(picture.width(), picture.height(), indexed);
}

}  // namespace tolvane::platform::codecs
