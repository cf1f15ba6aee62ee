// PNG, 8-bit RGB, written directly over zlib.
//
// Speed matters: this is also what the clipboard serves as image/png. Every
// row uses the UP filter, and the rows are cut into one part per core; each
// part is deflated on its own thread, primed with the 32 KiB of filtered data
// before it, and ends on a byte boundary (a sync flush), so the parts join into
// one zlib stream. The checksums combine with adler32_combine.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/codecs/codec_util.h"

namespace tolvane::platform::codecs {

namespace {

constexpr int kLevel = 4;                      // about 5% larger than zlib's default, several times faster
constexpr int kMaxSide = 1000000;              // libpng's reader refuses more than this by default
constexpr std::size_t kWindow = 32768;         // deflate's dictionary size
constexpr std::size_t kParallelFrom = 1 << 19;  // pixels; smaller pictures take one thread
constexpr int kStripRows = 16;

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  const std::uint8_t b[4] = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                             static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
  out.insert(out.end(), b, b + 4);
}

void putChunk(std::vector<std::uint8_t>& out, const char type[4], const std::uint8_t* data, std::size_t n) {
  putU32(out, static_cast<std::uint32_t>(n));
  const std::size_t at = out.size();
  out.insert(out.end(), type, type + 4);
  if (n) out.insert(out.end(), data, data + n);
  uLong crc = crc32(0L, out.data() + at, static_cast<uInt>(4 + n));
  putU32(out, static_cast<std::uint32_t>(crc));
}

// Row y as its filter byte (2, UP) then R, G, B differences from the row above.
void filterRow(const Image& pic, int y, std::uint8_t* out) {
  const Argb* cur = pic.constScanLine(y);
  const int w = pic.width();
  *out++ = 2;
  if (y == 0) {
    toRgb(cur, w, out);
    return;
  }
  const Argb* up = pic.constScanLine(y - 1);
  for (int x = 0; x < w; ++x) {
    const Argb c = cur[x], u = up[x];
    out[0] = static_cast<std::uint8_t>((c >> 16) - (u >> 16));
    out[1] = static_cast<std::uint8_t>((c >> 8) - (u >> 8));
    out[2] = static_cast<std::uint8_t>(c - u);
    out += 3;
  }
}

struct Part {
  int first = 0, last = 0;  // rows [first, last)
  std::vector<std::uint8_t> deflated;
  uLong adler = 1;
  std::size_t rawBytes = 0;
  std::optional<Failure> failure;  // set when this part could not be deflated
};

void deflatePart(const Image& pic, Part& part, bool isLast) {
  const std::size_t rowBytes = static_cast<std::size_t>(pic.width()) * 3 + 1;
  z_stream z{};
  if (deflateInit2(&z, kLevel, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
    part.failure = Failure{kEncodeLibraryError, "cannot start zlib"};
    return;
  }
  try {
    // Prime the dictionary with the filtered data just before this part.
    if (part.first > 0) {
      const int back = static_cast<int>(std::min<std::size_t>((kWindow + rowBytes - 1) / rowBytes,
                                                              static_cast<std::size_t>(part.first)));
      std::vector<std::uint8_t> dict(rowBytes * static_cast<std::size_t>(back));
      const int from = part.first - back;
      for (int y = from; y < part.first; ++y) filterRow(pic, y, dict.data() + rowBytes * static_cast<std::size_t>(y - from));
      const std::size_t use = std::min(dict.size(), kWindow);
      deflateSetDictionary(&z, dict.data() + dict.size() - use, static_cast<uInt>(use));
    }
    std::vector<std::uint8_t> strip(rowBytes * kStripRows);
    part.deflated.resize(deflateBound(&z, rowBytes * static_cast<std::size_t>(part.last - part.first)) + 64);
    z.next_out = part.deflated.data();
    z.avail_out = static_cast<uInt>(part.deflated.size());
    for (int y0 = part.first; y0 < part.last; y0 += kStripRows) {
      const int rows = std::min(kStripRows, part.last - y0);
      for (int y = y0; y < y0 + rows; ++y) filterRow(pic, y, strip.data() + rowBytes * static_cast<std::size_t>(y - y0));
      const std::size_t n = rowBytes * static_cast<std::size_t>(rows);
      part.adler = adler32(part.adler, strip.data(), static_cast<uInt>(n));
      part.rawBytes += n;
      z.next_in = strip.data();
      z.avail_in = static_cast<uInt>(n);
      const bool end = y0 + rows >= part.last;
      const int flush = end ? (isLast ? Z_FINISH : Z_SYNC_FLUSH) : Z_NO_FLUSH;
      const int ret = deflate(&z, flush);
      if (ret == Z_STREAM_ERROR || (z.avail_in != 0) || (flush == Z_FINISH && ret != Z_STREAM_END)) {
        part.failure = Failure{kEncodeLibraryError, "zlib could not compress the picture"};
        deflateEnd(&z);
        return;
      }
    }
    part.deflated.resize(part.deflated.size() - z.avail_out);
  } catch (const std::bad_alloc&) {
    part.failure = Failure{ENOMEM, "out of memory"};
  }
  deflateEnd(&z);
}

// The picture's rows deflated in parts, one per core for a large picture.
// Parts whose thread cannot be started are deflated here instead, after the
// first; the threads that did start are always joined.
std::vector<Part> deflateParts(const Image& picture) {
  const unsigned cores = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
  const int parts = picture.pixelCount() >= kParallelFrom ? static_cast<int>(std::min<unsigned>(
                                                                cores, static_cast<unsigned>(picture.height())))
                                                          : 1;
  std::vector<Part> work(static_cast<std::size_t>(parts));
  for (int i = 0; i < parts; ++i) {
    work[i].first = picture.height() * i / parts;
    work[i].last = picture.height() * (i + 1) / parts;
  }
  std::vector<std::thread> threads;
  int started = 1;
  try {
    for (; started < parts; ++started)
      threads.emplace_back(deflatePart, std::cref(picture), std::ref(work[started]), started == parts - 1);
  } catch (const std::system_error&) {
  }
  deflatePart(picture, work[0], parts == 1);
  for (int i = started; i < parts; ++i) deflatePart(picture, work[i], i == parts - 1);
  for (auto& t : threads) t.join();
  return work;
}

// The PNG file around the deflated parts. Throws bad_alloc.
void assemble(const Image& picture, const std::vector<Part>& work, std::vector<std::uint8_t>& out) {
  std::size_t total = 0;
  for (const Part& p : work) total += p.deflated.size();
  std::vector<std::uint8_t> idat;
  idat.reserve(total + 6);
  idat.push_back(0x78);  // zlib header: deflate, 32 KiB window
  idat.push_back(0x5E);  // FLEVEL 1 (fast); 0x785E is a multiple of 31
  uLong adler = 1;
  for (const Part& p : work) {
    idat.insert(idat.end(), p.deflated.begin(), p.deflated.end());
    adler = adler32_combine(adler, p.adler, static_cast<z_off_t>(p.rawBytes));
  }
  putU32(idat, static_cast<std::uint32_t>(adler));

  out.reserve(idat.size() + 64);
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  out.insert(out.end(), kSignature, kSignature + 8);
  std::vector<std::uint8_t> ihdr;
  putU32(ihdr, static_cast<std::uint32_t>(picture.width()));
  putU32(ihdr, static_cast<std::uint32_t>(picture.height()));
  const std::uint8_t rest[5] = {8, 2, 0, 0, 0};  // 8-bit RGB, deflate, adaptive filtering, no interlace
  ihdr.insert(ihdr.end(), rest, rest + 5);
  putChunk(out, "IHDR", ihdr.data(), ihdr.size());
  // IDAT chunks of at most 1 MiB, as readers expect moderate chunk sizes.
  constexpr std::size_t kChunk = 1 << 20;
  for (std::size_t at = 0; at < idat.size(); at += kChunk)
    putChunk(out, "IDAT", idat.data() + at, std::min(kChunk, idat.size() - at));
  putChunk(out, "IEND", nullptr, 0);
}

}  // namespace

EncodeResult encodePng(const Image& picture) {
  if (picture.width() > kMaxSide || picture.height() > kMaxSide)
    return fail(kEncodeTooLarge, "PNG: the picture is too large: width or height over " + std::to_string(kMaxSide) +
                                     " pixels");
  const std::size_t rowBytes = static_cast<std::size_t>(picture.width()) * 3 + 1;
  if (rowBytes * static_cast<std::size_t>(picture.height()) > 0xFFFFFFFFu / 2)
    return fail(kEncodeTooLarge, "PNG: the picture is too large to compress in one piece");
  const std::vector<Part> work = deflateParts(picture);
  for (const Part& p : work)
    if (p.failure) return fail(p.failure->error, "PNG: " + p.failure->description);
  EncodeResult r;
  try {
    assemble(picture, work, r.bytes);
  } catch (const std::bad_alloc&) {
    return outOfMemory("PNG");
  }
  return r;
}

}  // namespace tolvane::platform::codecs
