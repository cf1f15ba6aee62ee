#include "annotation/snapshot_codec.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "picture/compression.h"

namespace tolvane::annotation {
namespace {

constexpr std::string_view kMagic = "TVBAG1";
constexpr std::string_view kKey = "pic";
constexpr std::uint8_t kTypePicture = 1;
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

}  // namespace

void SnapshotCodec::encode(Bytes& result, const Image& picture) const {
  Bytes out(kMagic.begin(), kMagic.end());
  out.push_back(static_cast<std::uint8_t>(kKey.size()));
  out.insert(out.end(), kKey.begin(), kKey.end());
  out.push_back(kTypePicture);
  putU32(out, static_cast<std::uint32_t>(picture.width()));
  putU32(out, static_cast<std::uint32_t>(picture.height()));

  const std::size_t rowBytes = static_cast<std::size_t>(picture.width()) * 3;
  picture::Compressor compressor(rowBytes * picture.height(), out);
  std::vector<std::uint8_t> pack(rowBytes * kRowsPerChunk);
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
    compressor.feed({pack.data(), static_cast<std::size_t>(d - pack.data())}, last);
    if (last) break;
  }
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
  std::vector<std::uint8_t> rows(rowBytes * kRowsPerChunk);
  picture::Decompressor decompressor({bytes.data() + at, bytes.size() - at});
  Argb* px = pic.bits();
  std::size_t done = 0;  // pixels written
  const std::size_t total = pic.pixelCount();
  std::size_t carry = 0;  // bytes of a partial pixel kept at the front of `rows`
  while (done < total) {
    std::size_t got = 0;
    try {
      got = decompressor.read({rows.data() + carry, rows.size() - carry});
    } catch (const picture::CorruptStream& e) {
      throw BadSnapshot(e.what());
    }
    if (got == 0) throw BadSnapshot("snapshot truncated");
    const std::size_t have = carry + got;
    const std::size_t n = std::min(have / 3, total - done);
    const std::uint8_t* s = rows.data();
    for (std::size_t i = 0; i < n; ++i, s += 3)
      px[done + i] = 0xFF000000u | s[0] | (Argb{s[1]} << 8) | (Argb{s[2]} << 16);
    done += n;
    carry = have - n * 3;
    std::memmove(rows.data(), rows.data() + n * 3, carry);
  }
  return pic;
}

}  // namespace tolvane::annotation
