#include "picture/image.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "picture/pages.h"

namespace tolvane {

namespace {

// Screen-sized pictures sit on 2 MiB boundaries and ask for huge pages: the
// first write then faults a few hundred times instead of thousands, which
// costs tens of milliseconds at 4K on virtual machines.
constexpr std::size_t kHuge = std::size_t{2} << 20;

std::shared_ptr<Argb[]> allocatePixels(std::size_t count) {
  const std::size_t bytes = count * sizeof(Argb);
  if (bytes < 2 * kHuge) return std::shared_ptr<Argb[]>(new Argb[count]);  // default-initialised: not written
  const std::size_t rounded = (bytes + kHuge - 1) / kHuge * kHuge;
  void* p = picture::allocateAligned(rounded, kHuge);
  return std::shared_ptr<Argb[]>(static_cast<Argb*>(p), [](Argb* q) { picture::freeAligned(q); });
}

}  // namespace

Image Image::uninitialized(int width, int height) {
  Image img;
  img.width_ = std::max(width, 0);
  img.height_ = std::max(height, 0);
  img.data_ = allocatePixels(img.pixelCount());
  return img;
}

Image::Image(int width, int height, Argb fill) : Image(uninitialized(width, height)) {
  std::fill_n(data_.get(), pixelCount(), fill);
}

Argb* Image::bits() {
  if (!data_) return nullptr;
  if (data_.use_count() > 1) {
    std::shared_ptr<Argb[]> own = allocatePixels(pixelCount());
    std::copy_n(data_.get(), pixelCount(), own.get());
    data_ = std::move(own);
  }
  return data_.get();
}

void Image::blit(int dx, int dy, const Image& src, int sx, int sy, int w, int h) {
  // Clip against the source, then the destination, keeping the offsets in step.
  if (sx < 0) { dx -= sx; w += sx; sx = 0; }
  if (sy < 0) { dy -= sy; h += sy; sy = 0; }
  if (dx < 0) { sx -= dx; w += dx; dx = 0; }
  if (dy < 0) { sy -= dy; h += dy; dy = 0; }
  w = std::min({w, src.width_ - sx, width_ - dx});
  h = std::min({h, src.height_ - sy, height_ - dy});
  if (w <= 0 || h <= 0) return;
  if (sharesWith(src) && sx == dx && sy == dy) return;  // copy onto itself
  const Image keep = src;  // src may be *this; hold its pixels across the detach
  Argb* dst = bits();
  for (int y = 0; y < h; ++y) {
    std::memmove(dst + static_cast<std::size_t>(dy + y) * width_ + dx,
                 keep.constScanLine(sy + y) + sx, static_cast<std::size_t>(w) * sizeof(Argb));
  }
}

Image Image::copy(const IRect& r) const {
  Image out(r.width(), r.height(), 0xFF000000u);
  out.blit(0, 0, *this, r.left, r.top, r.width(), r.height());
  return out;
}

void Image::fill(const IRect& r, Argb p) {
  const IRect c = r.intersected(rect());
  if (c.empty()) return;
  Argb* b = bits();
  for (int y = c.top; y < c.bottom; ++y)
    std::fill_n(b + static_cast<std::size_t>(y) * width_ + c.left, c.width(), p);
}

bool operator==(const Image& a, const Image& b) {
  if (a.width_ != b.width_ || a.height_ != b.height_) return false;
  if (a.data_ == b.data_) return true;
  if (!a.data_ || !b.data_) return a.pixelCount() == 0;
  return std::equal(a.data_.get(), a.data_.get() + a.pixelCount(), b.data_.get());
}

}  // namespace tolvane
