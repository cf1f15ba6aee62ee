#include "platform/x11/x11_screen.h"

#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <unistd.h>
#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include "picture/raster_surface.h"
#include "platform/x11/x11_pixels.h"

#include <algorithm>
#include <bit>
#include <vector>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace tolvane::platform::x11 {

std::unique_ptr<XConnection> XConnection::open(std::string* error) {
  int screenNumber = 0;
  xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
  if (!c || xcb_connection_has_error(c)) {
    if (error) *error = "cannot connect to the X server";
    if (c) xcb_disconnect(c);
    return nullptr;
  }
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
  if (!it.rem || !it.data) {
    if (error) *error = "the X server has no screen " + std::to_string(screenNumber);
    xcb_disconnect(c);
    return nullptr;
  }
  return std::unique_ptr<XConnection>(new XConnection(c, it.data, screenNumber));
}

XConnection::~XConnection() { xcb_disconnect(c_); }

bool XConnection::answers() const {
  xcb_get_input_focus_reply_t* reply = xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr);
  const bool answered = reply != nullptr;
  std::free(reply);
  return answered && xcb_connection_has_error(c_) == 0;
}

int XConnection::width() const { return screen_->width_in_pixels; }
int XConnection::height() const { return screen_->height_in_pixels; }

RootVisual rootVisual(xcb_connection_t* c, xcb_screen_t* screen) {
  RootVisual v;
  v.depth = screen->root_depth;
  const xcb_setup_t* setup = xcb_get_setup(c);
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it))
    if (it.data->depth == screen->root_depth) v.bitsPerPixel = it.data->bits_per_pixel;
  for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
    for (auto t = xcb_depth_visuals_iterator(d.data); t.rem; xcb_visualtype_next(&t)) {
      if (t.data->visual_id == screen->root_visual) {
        v.visualClass = t.data->_class;
        v.red = t.data->red_mask;
        v.green = t.data->green_mask;
        v.blue = t.data->blue_mask;
      }
    }
  }
  return v;
}

std::optional<Failure> visualFailure(const RootVisual& v) {
  static const char* const kClasses[] = {"StaticGray", "GrayScale",  "StaticColor",
                                         "PseudoColor", "TrueColor", "DirectColor"};
  const bool sized = v.bitsPerPixel == 16 || v.bitsPerPixel == 24 || v.bitsPerPixel == 32;
  if (v.visualClass == XCB_VISUAL_CLASS_TRUE_COLOR && sized && v.red && v.green && v.blue) return std::nullopt;
  const std::string name = v.visualClass >= 0 && v.visualClass <= 5 ? kClasses[v.visualClass]
                                                                     : "class " + std::to_string(v.visualClass);
  return Failure{kScreenFormatUnreadable,
                 "the screen's visual is " + name + " at depth " + std::to_string(v.depth) + ", " +
                     std::to_string(v.bitsPerPixel) +
                     " bits per pixel; only TrueColor at 16, 24 or 32 bits per pixel is supported"};
}

std::optional<Failure> sessionFailure(bool xwayland, const char* waylandDisplay) {
  if (!xwayland || !waylandDisplay || !*waylandDisplay) return std::nullopt;
  return Failure{kScreenInWayland,
                 std::string("this is a Wayland session (WAYLAND_DISPLAY=") + waylandDisplay +
                     ") whose compositor does not answer, and the X server is XWayland, which holds only the "
                     "windows of X programs, not the desktop"};
}

bool isXWayland(xcb_connection_t* c, xcb_screen_t* screen) {
  constexpr char kName[] = "XWAYLAND";
  if (auto* ext = xcb_query_extension_reply(c, xcb_query_extension(c, sizeof kName - 1, kName), nullptr)) {
    const bool present = ext->present;
    free(ext);
    if (present) return true;
  }
  // Older XWayland has no extension of its own, but names its outputs XWAYLAND0, XWAYLAND1...
  const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
  if (!randr || !randr->present) return false;
  free(xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 3), nullptr));
  auto* res = xcb_randr_get_screen_resources_current_reply(
      c, xcb_randr_get_screen_resources_current(c, screen->root), nullptr);
  if (!res) return false;
  bool found = false;
  const xcb_randr_output_t* outputs = xcb_randr_get_screen_resources_current_outputs(res);
  for (int i = 0; i < xcb_randr_get_screen_resources_current_outputs_length(res) && !found; ++i) {
    auto* info =
        xcb_randr_get_output_info_reply(c, xcb_randr_get_output_info(c, outputs[i], res->config_timestamp), nullptr);
    if (!info) continue;
    const std::string_view name(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info)),
                                static_cast<std::size_t>(xcb_randr_get_output_info_name_length(info)));
    found = name.starts_with("XWAYLAND");
    free(info);
  }
  free(res);
  return found;
}

namespace {

int bytesPerLine(const PixelFormat& f, int width) {
  const int bits = width * f.bitsPerPixel;
  return ((bits + f.scanlinePad - 1) / f.scanlinePad) * f.scanlinePad / 8;
}

// One channel, scaled to 8 bits from wherever its mask puts it.
std::uint32_t channel(std::uint32_t p, std::uint32_t mask) {
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  std::uint32_t v = (p & mask) >> shift;
  if (bits >= 8) return v >> (bits - 8);
  return (v << (8 - bits)) | (v >> (2 * bits - 8 > 0 ? 2 * bits - 8 : 0));
}

// Converts `rows` rows of server pixels into `out` from row `top` on.
void convertRows(const std::uint8_t* data, int stride, const PixelFormat& f, Image& out, int top, int rows) {
  const int w = out.width();
  const bool direct = f.bitsPerPixel == 32 && f.red == 0xFF0000u && f.green == 0xFF00u && f.blue == 0xFFu &&
                      f.msbFirst == (std::endian::native == std::endian::big);
  for (int y = 0; y < rows; ++y) {
    const std::uint8_t* src = data + static_cast<std::size_t>(y) * stride;
    Argb* dst = out.scanLine(top + y);
    if (direct) {
      std::memcpy(dst, src, static_cast<std::size_t>(w) * 4);
      for (int x = 0; x < w; ++x) dst[x] |= 0xFF000000u;
      continue;
    }
    const int bpp = f.bitsPerPixel / 8;
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* s = src + static_cast<std::size_t>(x) * bpp;
      std::uint32_t p = 0;
      if (f.msbFirst)
        for (int i = 0; i < bpp; ++i) p = (p << 8) | s[i];
      else
        for (int i = bpp - 1; i >= 0; --i) p = (p << 8) | s[i];
      dst[x] = 0xFF000000u | (channel(p, f.red) << 16) | (channel(p, f.green) << 8) | channel(p, f.blue);
    }
  }
}

bool grabShm(xcb_connection_t* c, xcb_drawable_t from, const PixelFormat& f, Image& out) {
  const int w = out.width(), h = out.height();
  const int stride = bytesPerLine(f, w);
  const int band = bandRows(stride, h);
  ShmSegment seg(c, static_cast<std::size_t>(stride) * band, false);
  if (!seg.ok()) return false;
  for (int top = 0; top < h; top += band) {
    const int rows = std::min(band, h - top);
    xcb_generic_error_t* err = nullptr;
    xcb_shm_get_image_reply_t* reply = xcb_shm_get_image_reply(
        c,
        xcb_shm_get_image(c, from, 0, static_cast<std::int16_t>(top), static_cast<std::uint16_t>(w),
                          static_cast<std::uint16_t>(rows), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, seg.id(), 0),
        &err);
    const bool ok = reply && !err;
    free(reply);
    free(err);
    if (!ok) return false;
    convertRows(seg.data(), stride, f, out, top, rows);
  }
  return true;
}

bool grabPlain(xcb_connection_t* c, xcb_drawable_t from, const PixelFormat& f, Image& out) {
  const int w = out.width(), h = out.height();
  const int stride = bytesPerLine(f, w);
  // Bands keep each reply well under the server's limits.
  const int band = std::max(1, (4 << 20) / std::max(stride, 1));
  for (int top = 0; top < h; top += band) {
    const int rows = std::min(band, h - top);
    xcb_generic_error_t* err = nullptr;
    xcb_get_image_reply_t* reply = xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, from, 0, static_cast<std::int16_t>(top),
                         static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(rows), ~0u),
        &err);
    const bool ok = reply && !err && xcb_get_image_data_length(reply) >= stride * rows;
    if (ok) convertRows(xcb_get_image_data(reply), stride, f, out, top, rows);
    free(reply);
    free(err);
    if (!ok) return false;
  }
  return true;
}

}  // namespace

ScreenRead grabRoot(xcb_connection_t* c, xcb_screen_t* screen, bool allowShm, std::uint32_t from) {
  if (!c || !screen) return {{}, Failure{kScreenReadFailed, "the read failed"}};
  if (auto refused = visualFailure(rootVisual(c, screen))) return {{}, std::move(refused)};
  const auto format = rootFormat(c, screen);
  if (!format) return {{}, Failure{kScreenFormatUnreadable, "the read failed"}};
  // Every pixel is written below, or the read fails as a whole.
  ScreenRead read{Image::uninitialized(screen->width_in_pixels, screen->height_in_pixels), std::nullopt};
  const xcb_drawable_t source = from ? from : screen->root;
  if (allowShm && grabShm(c, source, *format, read.picture)) return read;
  if (grabPlain(c, source, *format, read.picture)) return read;
  return {{}, Failure{kScreenReadFailed, "the X server did not hand over the screen's pixels"}};
}

XcbScreen::~XcbScreen() = default;

ScreenRead XcbScreen::read() {
  xcb_connection_t* c = x_.connection();
  xcb_screen_t* s = x_.screen();
  // Only asked in a Wayland session, so a plain X desktop pays no round trips.
  if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland) {
    if (auto refused = sessionFailure(isXWayland(c, s), wayland)) return {{}, std::move(refused)};
  }
  return grabRoot(c, s, true, source_);
}

const ScreenRead& XcbScreen::readNow(std::uint32_t from) {
  if (!early_) {
    source_ = from;
    early_ = read();
    source_ = 0;
  }
  return *early_;
}

ScreenRead XcbScreen::grab() {
  if (early_) {
    ScreenRead out = std::move(*early_);
    early_.reset();
    return out;
  }
  return read();
}

}  // namespace tolvane::platform::x11
