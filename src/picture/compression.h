// Fast lossless compression of a byte stream, fed and drained in pieces so
// that a screen-sized picture never needs a second full-size buffer. The
// build picks the library: zstd where it is packaged, zlib for Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

namespace tolvane::picture {

// Compressed bytes that do not decode.
class CorruptStream : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Compressor {
 public:
  // `total`: how many bytes will be fed in all.
  Compressor(std::size_t total, std::vector<std::uint8_t>& out);
  ~Compressor();
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;
  // Appends the compressed form of `data` to the output; `last` ends the stream.
  void feed(std::span<const std::uint8_t> data, bool last);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

class Decompressor {
 public:
  explicit Decompressor(std::span<const std::uint8_t> compressed);
  ~Decompressor();
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;
  // Fills the front of `to` with the next decoded bytes: how many, 0 when the
  // input is used up. Throws CorruptStream for bytes that do not decode.
  std::size_t read(std::span<std::uint8_t> to);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tolvane::picture
