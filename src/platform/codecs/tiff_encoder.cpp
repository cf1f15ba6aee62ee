// TIFF through libtiff, written into memory by our own I/O callbacks.
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "platform/codecs/codec_util.h"

namespace tolvane::platform::codecs {

namespace {

// The file libtiff writes: bytes and a position it can seek back to.
struct MemoryFile {
  std::vector<std::uint8_t> bytes;
  std::uint64_t pos = 0;
  bool outOfMemory = false;
  char message[256] = {};
};

MemoryFile& fileOf(thandle_t h) { return *static_cast<MemoryFile*>(h); }

tmsize_t readProc(thandle_t, void*, tmsize_t) { return 0; }

tmsize_t writeProc(thandle_t h, void* data, tmsize_t size) {
  MemoryFile& f = fileOf(h);
  if (size < 0) return -1;
  const std::uint64_t end = f.pos + static_cast<std::uint64_t>(size);
  try {
    if (end > f.bytes.size()) f.bytes.resize(static_cast<std::size_t>(end));
  } catch (const std::bad_alloc&) {
    f.outOfMemory = true;
    return -1;
  }
  if (size > 0) std::memcpy(f.bytes.data() + f.pos, data, static_cast<std::size_t>(size));
  f.pos = end;
  return size;
}

toff_t seekProc(thandle_t h, toff_t offset, int whence) {
  MemoryFile& f = fileOf(h);
  std::uint64_t base = 0;
  if (whence == SEEK_CUR) base = f.pos;
  if (whence == SEEK_END) base = f.bytes.size();
  f.pos = base + offset;
  return f.pos;
}

int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t h) { return fileOf(h).bytes.size(); }
int mapProc(thandle_t, void**, toff_t*) { return 0; }
void unmapProc(thandle_t, void*, toff_t) {}

int onError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  auto& f = *static_cast<MemoryFile*>(user);
  char text[200];
  std::vsnprintf(text, sizeof text, fmt, ap);
  std::snprintf(f.message, sizeof f.message, "%s: %s", module ? module : "libtiff", text);
  return 1;  // handled: keep libtiff's default handler off stderr
}

int onWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

}  // namespace

EncodeResult encodeTiff(const Image& picture, int depth, int compression) {
  if (depth != 24)
    return fail(kEncodeBadParameter, "TIFF: " + std::to_string(depth) + " bits per pixel are not offered (24 are)");
  std::uint16_t scheme = 0;
  if (compression == 6)
    scheme = COMPRESSION_NONE;
  else if (compression == 2)
    scheme = COMPRESSION_LZW;
  else
    return fail(kEncodeBadParameter, "TIFF: compression " + std::to_string(compression) + " is not offered");
  // Classic TIFF addresses at most 4 GiB.
  if (static_cast<std::uint64_t>(picture.pixelCount()) * 3 > 0xF0000000ull)
    return fail(kEncodeTooLarge, "TIFF: the picture is too large for a TIFF file");

  MemoryFile file;
  std::vector<std::uint8_t> row;
  try {
    row.resize(static_cast<std::size_t>(picture.width()) * 3);
    file.bytes.reserve(picture.pixelCount() * 3 + 1024);
  } catch (const std::bad_alloc&) {
    return outOfMemory("TIFF");
  }

  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  if (!opts) return outOfMemory("TIFF");
  TIFFOpenOptionsSetErrorHandlerExtR(opts, onError, &file);
  TIFFOpenOptionsSetWarningHandlerExtR(opts, onWarning, &file);
  TIFF* tif = TIFFClientOpenExt("memory", "w", static_cast<thandle_t>(&file), readProc, writeProc, seekProc,
                                closeProc, sizeProc, mapProc, unmapProc, opts);
  TIFFOpenOptionsFree(opts);
  if (!tif) {
    if (file.outOfMemory) return outOfMemory("TIFF");
    return fail(kEncodeLibraryError, std::string("TIFF: ") + file.message);
  }

  const auto w = static_cast<std::uint32_t>(picture.width());
  const auto h = static_cast<std::uint32_t>(picture.height());
  bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w) && TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h) &&
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) && TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3) &&
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(tif, TIFFTAG_COMPRESSION, scheme) &&
            TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, 96.0) && TIFFSetField(tif, TIFFTAG_YRESOLUTION, 96.0) &&
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) &&
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
  for (std::uint32_t y = 0; ok && y < h; ++y) {
    toRgb(picture.constScanLine(static_cast<int>(y)), picture.width(), row.data());
    ok = TIFFWriteScanline(tif, row.data(), y, 0) == 1;
  }
  if (ok) ok = TIFFFlush(tif) == 1;
  TIFFClose(tif);
  if (!ok) {
    if (file.outOfMemory) return outOfMemory("TIFF");
    return fail(kEncodeLibraryError, std::string("TIFF: ") + (file.message[0] ? file.message : "write failed"));
  }
  EncodeResult r;
  r.bytes = std::move(file.bytes);
  return r;
}

}  // namespace tolvane::platform::codecs
