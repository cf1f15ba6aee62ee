#include <zlib.h>

#include <algorithm>
#include <climits>
#include <new>
#include <string>

#include "picture/compression.h"

namespace tolvane::picture {
namespace {

constexpr int kLevel = 1;  // fast; screen pictures compress well even so
constexpr std::size_t kOutStep = std::size_t{1} << 17;

uInt capped(std::size_t n) { return static_cast<uInt>(std::min<std::size_t>(n, UINT_MAX)); }

}  // namespace

struct Compressor::State {
  z_stream z{};
  bool open = false;
  std::vector<std::uint8_t>* out = nullptr;
  ~State() {
    if (open) deflateEnd(&z);
  }
};

Compressor::Compressor(std::size_t total, std::vector<std::uint8_t>& out) : state_(std::make_unique<State>()) {
  if (deflateInit(&state_->z, kLevel) != Z_OK) throw std::bad_alloc();
  state_->open = true;
  state_->out = &out;
  out.reserve(out.size() + total / 4);
}

Compressor::~Compressor() = default;

void Compressor::feed(std::span<const std::uint8_t> data, bool last) {
  z_stream& z = state_->z;
  std::vector<std::uint8_t>& out = *state_->out;
  const std::uint8_t* at = data.data();
  std::size_t left = data.size();
  for (;;) {
    z.next_in = const_cast<Bytef*>(at);  // zlib's interface is not const; it only reads
    z.avail_in = capped(left);
    const std::size_t start = out.size();
    out.resize(start + kOutStep);
    z.next_out = out.data() + start;
    z.avail_out = capped(kOutStep);
    const bool lastPiece = last && z.avail_in == left;
    const int ret = deflate(&z, lastPiece ? Z_FINISH : Z_NO_FLUSH);
    out.resize(out.size() - z.avail_out);
    const std::size_t used = static_cast<std::size_t>(z.next_in - at);
    at += used;
    left -= used;
    if (ret == Z_STREAM_ERROR) throw std::runtime_error("deflate failed");
    if (ret == Z_STREAM_END) return;
    if (!last && left == 0 && z.avail_out > 0) return;
  }
}

struct Decompressor::State {
  z_stream z{};
  bool open = false;
  const std::uint8_t* at = nullptr;
  std::size_t left = 0;
  bool ended = false;
  ~State() {
    if (open) inflateEnd(&z);
  }
};

Decompressor::Decompressor(std::span<const std::uint8_t> compressed) : state_(std::make_unique<State>()) {
  if (inflateInit(&state_->z) != Z_OK) throw std::bad_alloc();
  state_->open = true;
  state_->at = compressed.data();
  state_->left = compressed.size();
}

Decompressor::~Decompressor() = default;

std::size_t Decompressor::read(std::span<std::uint8_t> to) {
  State& s = *state_;
  std::size_t filled = 0;
  while (filled < to.size() && !s.ended) {
    s.z.next_in = const_cast<Bytef*>(s.at);
    s.z.avail_in = capped(s.left);
    s.z.next_out = to.data() + filled;
    s.z.avail_out = capped(to.size() - filled);
    const uInt roomBefore = s.z.avail_out;
    const int ret = inflate(&s.z, Z_NO_FLUSH);
    const std::size_t used = static_cast<std::size_t>(s.z.next_in - s.at);
    s.at += used;
    s.left -= used;
    filled += roomBefore - s.z.avail_out;
    if (ret == Z_STREAM_END) s.ended = true;
    else if (ret == Z_BUF_ERROR) break;  // input used up
    else if (ret != Z_OK) throw CorruptStream(std::string("inflate: ") + (s.z.msg ? s.z.msg : "bad data"));
  }
  return filled;
}

}  // namespace tolvane::picture
