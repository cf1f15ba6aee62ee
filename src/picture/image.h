// Plain 32-bit picture type shared by every subsystem, plus the colour
// conversions between the window's 0x00BBGGRR colour values and pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace tolvane {

// A pixel is 0xAARRGGBB in native byte order (the layout of QImage::Format_RGB32),
// so the Qt side can wrap the buffer without copying. Alpha is always 0xFF.
using Argb = std::uint32_t;

// A colour value: 0x00BBGGRR, red in the lowest byte.
using ColorRef = std::int32_t;

constexpr Argb argbFromColorRef(ColorRef c) {
  const auto u = static_cast<std::uint32_t>(c);
  return 0xFF000000u | ((u & 0xFFu) << 16) | (u & 0xFF00u) | ((u >> 16) & 0xFFu);
}

constexpr ColorRef colorRefFromArgb(Argb p) {
  return static_cast<ColorRef>(((p >> 16) & 0xFFu) | (p & 0xFF00u) | ((p & 0xFFu) << 16));
}

constexpr ColorRef rgb(int r, int g, int b) {
  return static_cast<ColorRef>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

struct IRect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive

  constexpr int width() const { return right - left; }
  constexpr int height() const { return bottom - top; }
  constexpr bool empty() const { return right <= left || bottom <= top; }
  constexpr bool contains(int x, int y) const {
    return left <= x && x < right && top <= y && y < bottom;
  }
  constexpr IRect intersected(const IRect& o) const {
    IRect r{left > o.left ? left : o.left, top > o.top ? top : o.top,
            right < o.right ? right : o.right, bottom < o.bottom ? bottom : o.bottom};
    return r.empty() ? IRect{} : r;
  }
  // Smallest rectangle holding both; an empty side does not count.
  constexpr IRect united(const IRect& o) const {
    if (empty()) return o;
    if (o.empty()) return *this;
    return {left < o.left ? left : o.left, top < o.top ? top : o.top,
            right > o.right ? right : o.right, bottom > o.bottom ? bottom : o.bottom};
  }
  friend constexpr bool operator==(const IRect&, const IRect&) = default;
};

// Copy-on-write picture: copies share pixels until one of them is written.
class Image {
 public:
  Image() = default;
  Image(int width, int height, Argb fill = 0xFF000000u);
  // A picture whose pixels the caller writes all of before reading any.
  static Image uninitialized(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  bool isNull() const { return width_ <= 0 || height_ <= 0; }
  IRect rect() const { return {0, 0, width_, height_}; }
  std::size_t pixelCount() const { return static_cast<std::size_t>(width_) * height_; }

  const Argb* constBits() const { return data_.get(); }
  const Argb* constScanLine(int y) const { return constBits() + static_cast<std::size_t>(y) * width_; }
  Argb* bits();  // detaches
  Argb* scanLine(int y) { return bits() + static_cast<std::size_t>(y) * width_; }

  Argb pixel(int x, int y) const { return constScanLine(y)[x]; }
  void setPixel(int x, int y, Argb p) { scanLine(y)[x] = p; }

  // Copies `src`'s rectangle (sx, sy, w, h) to (dx, dy), clipped to both pictures.
  void blit(int dx, int dy, const Image& src, int sx, int sy, int w, int h);
  Image copy(const IRect& r) const;  // outside pixels are black
  void fill(const IRect& r, Argb p);

  bool sharesWith(const Image& o) const { return data_ && data_ == o.data_; }
  friend bool operator==(const Image& a, const Image& b);

 private:
  int width_ = 0, height_ = 0;
  std::shared_ptr<Argb[]> data_;
};

}  // namespace tolvane
