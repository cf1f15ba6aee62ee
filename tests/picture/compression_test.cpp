// The undo history's byte compression, whichever library the build chose:
// streams fed and drained in pieces of any size come back exactly.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <random>
#include <vector>

#include "picture/compression.h"

namespace tolvane::picture {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Screen-like bytes: long runs with noise between them, so the compressor
// both matches and emits literals.
Bytes screenLike(std::size_t size) {
  std::mt19937 random(7);
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = (i / 700) % 3 == 0 ? static_cast<std::uint8_t>(random()) : 0x40;
  return b;
}

Bytes compress(const Bytes& raw, std::size_t piece) {
  Bytes out = {'h', 'd'};  // the output is appended to what is there
  Compressor c(raw.size(), out);
  std::size_t at = 0;
  do {
    const std::size_t n = std::min(piece, raw.size() - at);
    c.feed({raw.data() + at, n}, at + n == raw.size());
    at += n;
  } while (at < raw.size());
  return out;
}

Bytes decompress(const Bytes& packed, std::size_t piece) {
  Decompressor d({packed.data() + 2, packed.size() - 2});
  Bytes out;
  Bytes buf(piece);
  while (const std::size_t n = d.read(buf)) out.insert(out.end(), buf.begin(), buf.begin() + static_cast<long>(n));
  return out;
}

struct Pieces {
  std::size_t size, feed, read;
};

void PrintTo(const Pieces& p, std::ostream* out) {
  *out << p.size << " bytes, fed by " << p.feed << ", read by " << p.read;
}

class Compression : public ::testing::TestWithParam<Pieces> {};

TEST_P(Compression, RoundTripsExactly) {
  const Pieces p = GetParam();
  const Bytes raw = screenLike(p.size);
  const Bytes packed = compress(raw, p.feed);
  EXPECT_EQ(packed[0], 'h');
  EXPECT_EQ(packed[1], 'd');
  if (p.size > 100000) {
    EXPECT_LT(packed.size(), raw.size() / 2);
  }
  EXPECT_EQ(decompress(packed, p.read), raw);
}

INSTANTIATE_TEST_SUITE_P(Pieces, Compression,
                         ::testing::Values(Pieces{0, 1, 16}, Pieces{1, 1, 1}, Pieces{5000, 7, 3},
                                           Pieces{3 << 20, 192 * 1024, 65536}, Pieces{3 << 20, 3 << 20, 1 << 22},
                                           Pieces{400000, 1, 999}));

TEST(CompressionErrors, ACutStreamEndsEarlyAndGarbageIsRefused) {
  const Bytes raw = screenLike(200000);
  Bytes packed = compress(raw, 4096);
  packed.resize(packed.size() / 2);
  EXPECT_LT(decompress(packed, 4096).size(), raw.size());

  const Bytes garbage = {'h', 'd', 0xFF, 0xFE, 0xFD, 0xFC, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
  EXPECT_THROW(decompress(garbage, 64), CorruptStream);
}

}  // namespace
}  // namespace tolvane::picture
