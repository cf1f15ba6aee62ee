#include "platform/wayland/early_gesture.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "picture/raster_surface.h"

namespace tolvane::platform::wayland {

void veilInPlace(std::uint8_t* data, int width, int height, int stride, bool yInvert, Argb veil) {
  const auto row = [&](int y) { return reinterpret_cast<Argb*>(data + static_cast<std::size_t>(y) * stride); };
  if (!yInvert) {
    for (int y = 0; y < height; ++y) picture::raster::veilRow(row(y), row(y), width, veil);
    return;
  }
  std::vector<Argb> top(static_cast<std::size_t>(width));
  for (int y = 0; y < height / 2; ++y) {
    const int mirror = height - 1 - y;
    std::memcpy(top.data(), row(y), top.size() * sizeof(Argb));
    picture::raster::veilRow(row(y), row(mirror), width, veil);
    picture::raster::veilRow(row(mirror), top.data(), width, veil);
  }
  if (height % 2) picture::raster::veilRow(row(height / 2), row(height / 2), width, veil);
}

void SurfaceGesture::moveTo(double x, double y) {
  const Surface& s = surfaces_[surface_];
  const double sx = s.width > 0 ? static_cast<double>(s.area.width()) / s.width : 1.0;
  const double sy = s.height > 0 ? static_cast<double>(s.area.height()) / s.height : 1.0;
  x_ = s.area.left + static_cast<int>(std::floor(x * sx));
  y_ = s.area.top + static_cast<int>(std::floor(y * sy));
}

void SurfaceGesture::configure(std::size_t surface, int width, int height) {
  if (surface >= surfaces_.size()) return;
  surfaces_[surface].width = width;
  surfaces_[surface].height = height;
}

void SurfaceGesture::enter(std::size_t surface, double x, double y) {
  if (surface >= surfaces_.size()) return;
  surface_ = surface;
  on_ = true;
  moveTo(x, y);
  input_.motion(x_, y_);
}

void SurfaceGesture::motion(double x, double y) {
  if (!on_) return;
  moveTo(x, y);
  input_.motion(x_, y_);
}

void SurfaceGesture::button(std::uint32_t code, bool pressed) {
  int b = 0;
  if (code == kBtnLeft) b = kLeft;
  else if (code == kBtnRight) b = kRight;
  else if (code == kBtnMiddle) b = kMiddle;
  if (!b) return;
  // A release counts wherever the pointer is: the press held it here.
  if (!pressed) input_.release(b, x_, y_);
  else if (on_) input_.press(b, x_, y_);
}

void SurfaceGesture::key(std::uint32_t code, bool pressed) {
  if (code == kKeyEsc && pressed) input_.escape();
}

}  // namespace tolvane::platform::wayland
