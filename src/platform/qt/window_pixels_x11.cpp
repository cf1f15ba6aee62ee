#include "platform/qt/window_pixels_x11.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace tolvane::platform::qt {
namespace {

// Whether `visual` of `depth` on the window's screen stores xRGB in 32 bits.
bool xrgb32(const xcb_setup_t* setup, xcb_visualid_t visual, std::uint8_t depth) {
  bool bits32 = false;
  for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
    if (f.data->depth == depth) bits32 = f.data->bits_per_pixel == 32;
  if (!bits32) return false;
  for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s))
    for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d))
      for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
        if (v.data->visual_id == visual)
          return v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR && v.data->red_mask == 0xff0000u &&
                 v.data->green_mask == 0xff00u && v.data->blue_mask == 0xffu;
  return false;
}

}  // namespace

WindowPixels::WindowPixels(xcb_connection_t* c, std::uint32_t window) : c_(c), window_(window) {
  if (!c_ || !window_) return;
  const xcb_setup_t* setup = xcb_get_setup(c_);
  const bool hostOrder = (setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) ==
                         (std::endian::native == std::endian::little);
  auto* attrs = xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, window_), nullptr);
  auto* geometry = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, window_), nullptr);
  const bool ok = attrs && geometry && hostOrder && xrgb32(setup, attrs->visual, geometry->depth);
  if (ok) {
    depth_ = geometry->depth;
    gc_ = xcb_generate_id(c_);
    xcb_create_gc(c_, gc_, window_, 0, nullptr);
    // The request's length counts 4-byte units, its 24-byte header included.
    maxBytes_ = static_cast<std::size_t>(xcb_get_maximum_request_length(c_)) * 4 - 24;
  }
  free(attrs);
  free(geometry);
}

WindowPixels::~WindowPixels() {
  if (gc_) xcb_free_gc(c_, gc_);
}

void WindowPixels::put(const Image& pixels, int x, int y) {
  if (!usable() || pixels.isNull()) return;
  const auto rowBytes = static_cast<std::size_t>(pixels.width()) * 4;
  // A row wider than a request holds (not on any real server) goes in pieces.
  if (rowBytes > maxBytes_) {
    const int columns = static_cast<int>(maxBytes_ / 4);
    for (int left = 0; left < pixels.width(); left += columns)
      put(pixels.copy({left, 0, std::min(left + columns, pixels.width()), pixels.height()}), x + left, y);
    return;
  }
  const int rowsPerRequest = static_cast<int>(maxBytes_ / rowBytes);
  for (int top = 0; top < pixels.height(); top += rowsPerRequest) {
    const int rows = std::min(rowsPerRequest, pixels.height() - top);
    xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc_, static_cast<std::uint16_t>(pixels.width()),
                  static_cast<std::uint16_t>(rows), static_cast<std::int16_t>(x),
                  static_cast<std::int16_t>(y + top), 0, depth_, static_cast<std::uint32_t>(rowBytes * rows),
                  reinterpret_cast<const std::uint8_t*>(pixels.constScanLine(top)));
  }
}

void WindowPixels::flush() {
  if (c_) xcb_flush(c_);
}

}  // namespace tolvane::platform::qt
