#include "platform/qt/x11_screen.h"

#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <bit>
#include <cstdlib>
#include <cstring>

namespace tolvane::platform::qt {

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
  return std::unique_ptr<XConnection>(new XConnection(c, it.data));
}

XConnection::~XConnection() { xcb_disconnect(c_); }

int XConnection::width() const { return screen_->width_in_pixels; }
int XConnection::height() const { return screen_->height_in_pixels; }

namespace {

struct PixelFormat {
  int bitsPerPixel = 0;
  int scanlinePad = 32;
  std::uint32_t red = 0, green = 0, blue = 0;
  bool msbFirst = false;
};

std::optional<PixelFormat> rootFormat(xcb_connection_t* c, xcb_screen_t* screen) {
  const xcb_setup_t* setup = xcb_get_setup(c);
  PixelFormat f;
  f.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it)) {
    if (it.data->depth == screen->root_depth) {
      f.bitsPerPixel = it.data->bits_per_pixel;
      f.scanlinePad = it.data->scanline_pad;
    }
  }
  for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
      if (v.data->visual_id == screen->root_visual) {
        f.red = v.data->red_mask;
        f.green = v.data->green_mask;
        f.blue = v.data->blue_mask;
      }
    }
  }
  if (f.bitsPerPixel != 16 && f.bitsPerPixel != 24 && f.bitsPerPixel != 32) return std::nullopt;
  if (!f.red || !f.green || !f.blue) return std::nullopt;
  return f;
}

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

bool grabShm(xcb_connection_t* c, xcb_screen_t* screen, const PixelFormat& f, Image& out) {
  const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_shm_id);
  if (!ext || !ext->present) return false;
  const int w = out.width(), h = out.height();
  const int stride = bytesPerLine(f, w);
  const std::size_t size = static_cast<std::size_t>(stride) * h;
  const int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
  if (id < 0) return false;
  void* addr = shmat(id, nullptr, 0);
  if (addr == reinterpret_cast<void*>(-1)) {
    shmctl(id, IPC_RMID, nullptr);
    return false;
  }
  bool ok = false;
  const xcb_shm_seg_t seg = xcb_generate_id(c);
  xcb_generic_error_t* err = xcb_request_check(c, xcb_shm_attach_checked(c, seg, static_cast<std::uint32_t>(id), 0));
  if (!err) {
    // The server holds its own attachment now; the segment goes when both let go.
    shmctl(id, IPC_RMID, nullptr);
    xcb_shm_get_image_reply_t* reply = xcb_shm_get_image_reply(
        c, xcb_shm_get_image(c, screen->root, 0, 0, static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h),
                             ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, seg, 0),
        &err);
    if (reply && !err) {
#ifdef MADV_POPULATE_READ
      // One call maps every page the server wrote, instead of a fault per page.
      madvise(addr, size, MADV_POPULATE_READ);
#endif
      convertRows(static_cast<const std::uint8_t*>(addr), stride, f, out, 0, h);
      ok = true;
    }
    free(reply);
    xcb_shm_detach(c, seg);
    xcb_flush(c);
  } else {
    shmctl(id, IPC_RMID, nullptr);
  }
  free(err);
  shmdt(addr);
  return ok;
}

bool grabPlain(xcb_connection_t* c, xcb_screen_t* screen, const PixelFormat& f, Image& out) {
  const int w = out.width(), h = out.height();
  const int stride = bytesPerLine(f, w);
  // Bands keep each reply well under the server's limits.
  const int band = std::max(1, (4 << 20) / std::max(stride, 1));
  for (int top = 0; top < h; top += band) {
    const int rows = std::min(band, h - top);
    xcb_generic_error_t* err = nullptr;
    xcb_get_image_reply_t* reply = xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, 0, static_cast<std::int16_t>(top),
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

std::optional<Image> grabRoot(xcb_connection_t* c, xcb_screen_t* screen, bool allowShm) {
  if (!c || !screen) return std::nullopt;
  const auto format = rootFormat(c, screen);
  if (!format) return std::nullopt;
  Image out(screen->width_in_pixels, screen->height_in_pixels);
  if (allowShm && grabShm(c, screen, *format, out)) return out;
  if (grabPlain(c, screen, *format, out)) return out;
  return std::nullopt;
}

XcbScreen::~XcbScreen() {
  if (prefetched_.valid()) prefetched_.wait();
}

void XcbScreen::prefetch() {
  if (prefetched_.valid()) return;
  xcb_connection_t* c = x_.connection();
  xcb_screen_t* s = x_.screen();
  prefetched_ = std::async(std::launch::async, [c, s] { return grabRoot(c, s); });
}

std::optional<Image> XcbScreen::grab() {
  if (prefetched_.valid()) return prefetched_.get();
  return grabRoot(x_.connection(), x_.screen());
}

IPoint XcbScreen::cursorPos() const {
  const QPoint p = QCursor::pos();
  return {p.x(), p.y()};
}

namespace {
QRect qtScreenRect() {
  const QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->virtualGeometry() : QRect(0, 0, 640, 480);
}
}  // namespace

int QtScreen::widthTwips() const { return qtScreenRect().width() * 15; }
int QtScreen::heightTwips() const { return qtScreenRect().height() * 15; }

std::optional<Image> QtScreen::grab() {
  QScreen* s = QGuiApplication::primaryScreen();
  if (!s) return std::nullopt;
  const QRect r = qtScreenRect();
  QImage shot = s->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
  if (shot.isNull()) return std::nullopt;
  shot = shot.convertToFormat(QImage::Format_RGB32);
  Image out(r.width(), r.height());
  for (int y = 0; y < std::min(shot.height(), out.height()); ++y) {
    const auto* src = reinterpret_cast<const Argb*>(shot.constScanLine(y));
    Argb* dst = out.scanLine(y);
    for (int x = 0; x < std::min(shot.width(), out.width()); ++x) dst[x] = src[x] | 0xFF000000u;
  }
  return out;
}

IPoint QtScreen::cursorPos() const {
  const QPoint p = QCursor::pos();
  return {p.x(), p.y()};
}

}  // namespace tolvane::platform::qt
