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
#include <utility>
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

// Deflated output grows in pieces of this size, so that only what was
// written is memory: a buffer of deflateBound, zero-filled, is the whole
// picture's size again.
constexpr std::size_t kPiece = 256 * 1024;

struct Part {
  int first = 0, last = 0;  // rows [first, last)
  std::vector<std::vector<std::uint8_t>> deflated;  // pieces, each full but the last
  uLong adler = 1;
  std::size_t rawBytes = 0;
  std::optional<Failure> failure;  // set when this part could not be deflated
};

// Runs deflate on what z holds until it is all taken and, with `flush`,
// written out, adding pieces to `out` as they fill. False on a zlib error.
bool deflateInto(z_stream& z, int flush, std::vector<std::vector<std::uint8_t>>& out) {
  for (;;) {
    if (out.empty() || out.back().size() == kPiece) {
      out.emplace_back();
      out.back().reserve(kPiece);
    }
    std::vector<std::uint8_t>& piece = out.back();
    const std::size_t had = piece.size();
    piece.resize(kPiece);
    z.next_out = piece.data() + had;
    z.avail_out = static_cast<uInt>(kPiece - had);
    const int ret = deflate(&z, flush);
    piece.resize(kPiece - z.avail_out);
    if (ret == Z_STREAM_ERROR) return false;
    if (flush == Z_FINISH) {
      if (ret == Z_STREAM_END) return true;
      continue;
    }
    // Done once the input is taken and deflate had room to spare.
    if (z.avail_in == 0 && z.avail_out != 0) return true;
  }
}

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
      if (!deflateInto(z, flush, part.deflated)) {
        part.failure = Failure{kEncodeLibraryError, "zlib could not compress the picture"};
        deflateEnd(&z);
        return;
      }
    }
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

// Appends `n` bytes of the zlib stream to `out`, from where `at` points,
// and moves `at` on; the stream is the header, every piece of every part,
// then the checksum. Returns the bytes' CRC, continuing `crc`.
struct StreamAt {
  const std::vector<std::pair<const std::uint8_t*, std::size_t>>& spans;
  std::size_t span = 0, offset = 0;
  uLong copy(std::size_t n, std::vector<std::uint8_t>& out, uLong crc) {
    while (n > 0) {
      const auto& [data, size] = spans[span];
      const std::size_t take = std::min(n, size - offset);
      out.insert(out.end(), data + offset, data + offset + take);
      crc = crc32(crc, data + offset, static_cast<uInt>(take));
      n -= take;
      offset += take;
      if (offset == size) ++span, offset = 0;
    }
    return crc;
  }
};

// The PNG file around the deflated parts, written once into `out` in IDAT
// chunks of at most 1 MiB, as readers expect moderate chunk sizes. Throws
// bad_alloc.
void assemble(const Image& picture, const std::vector<Part>& work, std::vector<std::uint8_t>& out) {
  static constexpr std::uint8_t kHeader[2] = {0x78, 0x5E};  // deflate, 32 KiB window, FLEVEL 1: a multiple of 31
  uLong adler = 1;
  for (const Part& p : work) adler = adler32_combine(adler, p.adler, static_cast<z_off_t>(p.rawBytes));
  std::uint8_t checksum[4];
  for (int i = 0; i < 4; ++i) checksum[i] = static_cast<std::uint8_t>(adler >> (24 - 8 * i));
  std::vector<std::pair<const std::uint8_t*, std::size_t>> spans{{kHeader, 2}};
  std::size_t total = 2 + 4;
  for (const Part& p : work)
    for (const auto& piece : p.deflated)
      if (!piece.empty()) spans.emplace_back(piece.data(), piece.size()), total += piece.size();
  spans.emplace_back(checksum, 4);

  constexpr std::size_t kChunk = 1 << 20;
  out.reserve(8 + 25 + total + 12 * ((total + kChunk - 1) / kChunk) + 12);
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  out.insert(out.end(), kSignature, kSignature + 8);
  std::vector<std::uint8_t> ihdr;
  putU32(ihdr, static_cast<std::uint32_t>(picture.width()));
  putU32(ihdr, static_cast<std::uint32_t>(picture.height()));
  const std::uint8_t rest[5] = {8, 2, 0, 0, 0};  // 8-bit RGB, deflate, adaptive filtering, no interlace
  ihdr.insert(ihdr.end(), rest, rest + 5);
  putChunk(out, "IHDR", ihdr.data(), ihdr.size());
  StreamAt stream{spans};
  for (std::size_t at = 0; at < total; at += kChunk) {
    const std::size_t n = std::min(kChunk, total - at);
    putU32(out, static_cast<std::uint32_t>(n));
    static constexpr char kIdat[4] = {'I', 'D', 'A', 'T'};
    out.insert(out.end(), kIdat, kIdat + 4);
    const uLong crc = stream.copy(n, out, crc32(0L, reinterpret_cast<const Bytef*>(kIdat), 4));
    putU32(out, static_cast<std::uint32_t>(crc));
  }
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
