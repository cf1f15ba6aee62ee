#include <zstd.h>

#include <new>

#include "picture/compression.h"

namespace tolvane::picture {
namespace {

constexpr int kLevel = 1;  // fast; screen pictures compress well even so

}  // namespace

struct Compressor::State {
  ZSTD_CCtx* ctx = nullptr;
  std::vector<std::uint8_t>* out = nullptr;
  ~State() { ZSTD_freeCCtx(ctx); }
};

Compressor::Compressor(std::size_t total, std::vector<std::uint8_t>& out) : state_(std::make_unique<State>()) {
  state_->ctx = ZSTD_createCCtx();
  if (!state_->ctx) throw std::bad_alloc();
  state_->out = &out;
  ZSTD_CCtx_setParameter(state_->ctx, ZSTD_c_compressionLevel, kLevel);
  ZSTD_CCtx_setPledgedSrcSize(state_->ctx, total);
  out.reserve(out.size() + ZSTD_compressBound(total));
}

Compressor::~Compressor() = default;

void Compressor::feed(std::span<const std::uint8_t> data, bool last) {
  std::vector<std::uint8_t>& out = *state_->out;
  ZSTD_inBuffer in{data.data(), data.size(), 0};
  const ZSTD_EndDirective mode = last ? ZSTD_e_end : ZSTD_e_continue;
  for (;;) {
    const std::size_t start = out.size();
    out.resize(start + ZSTD_CStreamOutSize());
    ZSTD_outBuffer ob{out.data() + start, out.size() - start, 0};
    const std::size_t left = ZSTD_compressStream2(state_->ctx, &ob, &in, mode);
    out.resize(start + ob.pos);
    if (ZSTD_isError(left)) throw std::runtime_error(ZSTD_getErrorName(left));
    if (last ? left == 0 : in.pos == in.size) return;
  }
}

struct Decompressor::State {
  ZSTD_DCtx* ctx = nullptr;
  ZSTD_inBuffer in{};
  ~State() { ZSTD_freeDCtx(ctx); }
};

Decompressor::Decompressor(std::span<const std::uint8_t> compressed) : state_(std::make_unique<State>()) {
  state_->ctx = ZSTD_createDCtx();
  if (!state_->ctx) throw std::bad_alloc();
  state_->in = {compressed.data(), compressed.size(), 0};
}

Decompressor::~Decompressor() = default;

std::size_t Decompressor::read(std::span<std::uint8_t> to) {
  ZSTD_outBuffer ob{to.data(), to.size(), 0};
  for (;;) {
    const std::size_t had = ob.pos;
    const std::size_t ret = ZSTD_decompressStream(state_->ctx, &ob, &state_->in);
    if (ZSTD_isError(ret)) throw CorruptStream(ZSTD_getErrorName(ret));
    if (ob.pos == ob.size || ret == 0) break;  // full, or the stream ended
    if (state_->in.pos == state_->in.size && ob.pos == had) break;  // input used up
  }
  return ob.pos;
}

}  // namespace tolvane::picture
