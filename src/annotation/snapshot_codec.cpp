#include "annotation/snapshot_codec.h"

#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

namespace tolvane::annotation {
namespace {

constexpr std::string_view kMagic = "TVBAG1";
constexpr std::string_view kKey = "pic";
constexpr std::uint8_t kTypePicture = 1;
constexpr int kLevel = 1;         // fast; screen pictures compress well even so
constexpr int kRowsPerChunk = 64;  // packing buffer size, to keep memory flat

void putU32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t getU32(const Bytes& b, std::size_t& at) {
  if (at + 4 > b.size()) throw BadSnapshot("snapshot truncated");
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= std::uint32_t{b[at + i]} << (8 * i);
  at += 4;
  return v;
}

struct CCtxFree {
  void operator()(ZSTD_CCtx* c) const { ZSTD_freeCCtx(c); }
};
struct DCtxFree {
  void operator()(ZSTD_DCtx* c) const { ZSTD_freeDCtx(c); }
};

}  // namespace

void SnapshotCodec::encode(Bytes& result, const Image& picture) const {
  Bytes out;
  out.insert(out.end(), kMagic.begin(), kMagic.end());
  out.push_back(static_cast<std::uint8_t>(kKey.size()));
  out.insert(out.end(), kKey.begin(), kKey.end());
  out.push_back(kTypePicture);
  putU32(out, static_cast<std::uint32_t>(picture.width()));
  putU32(out, static_cast<std::uint32_t>(picture.height()));
  const std::size_t header = out.size();

  const std::size_t rowBytes = static_cast<std::size_t>(picture.width()) * 3;
  const std::size_t raw = rowBytes * picture.height();
  out.resize(header + ZSTD_compressBound(raw));
  std::unique_ptr<ZSTD_CCtx, CCtxFree> cctx(ZSTD_createCCtx());
  if (!cctx) throw std::bad_alloc();
  ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_compressionLevel, kLevel);
  ZSTD_CCtx_setPledgedSrcSize(cctx.get(), raw);

  std::vector<std::uint8_t> pack(rowBytes * kRowsPerChunk);
  ZSTD_outBuffer ob{out.data() + header, out.size() - header, 0};
  for (int y0 = 0; y0 < picture.height() || (picture.height() == 0 && y0 == 0); y0 += kRowsPerChunk) {
    const int rows = std::min(kRowsPerChunk, picture.height() - y0);
    std::uint8_t* d = pack.data();
    for (int y = y0; y < y0 + rows; ++y) {
      const Argb* s = picture.constScanLine(y);
      for (int x = 0; x < picture.width(); ++x) {
        *d++ = static_cast<std::uint8_t>(s[x]);
        *d++ = static_cast<std::uint8_t>(s[x] >> 8);
        *d++ = static_cast<std::uint8_t>(s[x] >> 16);
      }
    }
    const bool last = y0 + kRowsPerChunk >= picture.height();
    ZSTD_inBuffer ib{pack.data(), static_cast<std::size_t>(d - pack.data()), 0};
    const ZSTD_EndDirective mode = last ? ZSTD_e_end : ZSTD_e_continue;
    for (;;) {
      const std::size_t left = ZSTD_compressStream2(cctx.get(), &ob, &ib, mode);
      if (ZSTD_isError(left)) throw std::runtime_error(ZSTD_getErrorName(left));
      if (last ? left == 0 : ib.pos == ib.size) break;
    }
    if (last) break;
  }
  out.resize(header + ob.pos);
  out.shrink_to_fit();
  result = std::move(out);
}

Image SnapshotCodec::decode(const Bytes& bytes) const {
  std::size_t at = 0;
  if (bytes.size() < kMagic.size() || std::memcmp(bytes.data(), kMagic.data(), kMagic.size()) != 0)
    throw BadSnapshot("not a snapshot");
  at = kMagic.size();
  if (at >= bytes.size()) throw BadSnapshot("snapshot truncated");
  const std::size_t keyLen = bytes[at++];
  if (at + keyLen + 1 > bytes.size() ||
      std::string_view(reinterpret_cast<const char*>(bytes.data() + at), keyLen) != kKey)
    throw BadSnapshot("snapshot has no picture");
  at += keyLen;
  if (bytes[at++] != kTypePicture) throw BadSnapshot("snapshot value is not a picture");
  const std::uint32_t w = getU32(bytes, at), h = getU32(bytes, at);
  if (w > 65536 || h > 65536) throw BadSnapshot("snapshot picture too large");

  Image pic(static_cast<int>(w), static_cast<int>(h));
  const std::size_t rowBytes = static_cast<std::size_t>(w) * 3;
  std::unique_ptr<ZSTD_DCtx, DCtxFree> dctx(ZSTD_createDCtx());
  if (!dctx) throw std::bad_alloc();
  std::vector<std::uint8_t> rows(rowBytes * kRowsPerChunk);
  ZSTD_inBuffer ib{bytes.data() + at, bytes.size() - at, 0};
  Argb* px = pic.bits();
  std::size_t done = 0;  // pixels written
  const std::size_t total = pic.pixelCount();
  std::size_t carry = 0;  // bytes of a partial pixel kept at the front of `rows`
  while (done < total) {
    ZSTD_outBuffer ob{rows.data() + carry, rows.size() - carry, 0};
    const std::size_t ret = ZSTD_decompressStream(dctx.get(), &ob, &ib);
    if (ZSTD_isError(ret)) throw BadSnapshot(ZSTD_getErrorName(ret));
    const std::size_t have = carry + ob.pos;
    const std::size_t n = std::min(have / 3, total - done);
    const std::uint8_t* s = rows.data();
    for (std::size_t i = 0; i < n; ++i, s += 3)
      px[done + i] = 0xFF000000u | s[0] | (Argb{s[1]} << 8) | (Argb{s[2]} << 16);
    done += n;
    carry = have - n * 3;
    std::memmove(rows.data(), rows.data() + n * 3, carry);
    if (ob.pos == 0 && ib.pos == ib.size && done < total) throw BadSnapshot("snapshot truncated");
  }
  return pic;
}

}  // namespace tolvane::annotation
