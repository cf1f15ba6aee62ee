#include "platform/qt/x11_screen.h"

#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <unistd.h>
#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include "platform/raster_surface.h"

#include <algorithm>
#include <bit>
#include <vector>
#include <cstdlib>
#include <cstring>
#include <string_view>

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

std::string visualProblem(const RootVisual& v) {
  static const char* const kClasses[] = {"StaticGray", "GrayScale",  "StaticColor",
                                         "PseudoColor", "TrueColor", "DirectColor"};
  const bool sized = v.bitsPerPixel == 16 || v.bitsPerPixel == 24 || v.bitsPerPixel == 32;
  if (v.visualClass == XCB_VISUAL_CLASS_TRUE_COLOR && sized && v.red && v.green && v.blue) return {};
  const std::string name = v.visualClass >= 0 && v.visualClass <= 5 ? kClasses[v.visualClass]
                                                                     : "class " + std::to_string(v.visualClass);
  return "the screen's visual is " + name + " at depth " + std::to_string(v.depth) + ", " +
         std::to_string(v.bitsPerPixel) + " bits per pixel; only TrueColor at 16, 24 or 32 bits per pixel is supported";
}

std::string sessionProblem(bool xwayland, const char* waylandDisplay) {
  if (!xwayland || !waylandDisplay || !*waylandDisplay) return {};
  return std::string("this is a Wayland session (WAYLAND_DISPLAY=") + waylandDisplay +
         ") and the X server is XWayland, which holds only the windows of X programs, not the desktop; "
         "Tolvane captures an X11 desktop";
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

struct PixelFormat {
  int bitsPerPixel = 0;
  int scanlinePad = 32;
  std::uint32_t red = 0, green = 0, blue = 0;
  bool msbFirst = false;
};

// The root window's pixel layout; nothing when it cannot be read (`why` says why).
std::optional<PixelFormat> rootFormat(xcb_connection_t* c, xcb_screen_t* screen, std::string* why = nullptr) {
  const RootVisual v = rootVisual(c, screen);
  if (std::string problem = visualProblem(v); !problem.empty()) {
    if (why) *why = std::move(problem);
    return std::nullopt;
  }
  const xcb_setup_t* setup = xcb_get_setup(c);
  PixelFormat f;
  f.msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  f.bitsPerPixel = v.bitsPerPixel;
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it))
    if (it.data->depth == screen->root_depth) f.scanlinePad = it.data->scanline_pad;
  f.red = v.red;
  f.green = v.green;
  f.blue = v.blue;
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

// A small shared segment, attached on both sides for as long as the object lives.
class ShmSegment {
 public:
  ShmSegment(xcb_connection_t* c, std::size_t size, bool readOnly) : c_(c), size_(size) {
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_shm_id);
    if (!ext || !ext->present) return;
    const int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (id < 0) return;
    void* addr = shmat(id, nullptr, 0);
    if (addr == reinterpret_cast<void*>(-1)) {
      shmctl(id, IPC_RMID, nullptr);
      return;
    }
    seg_ = xcb_generate_id(c);
    xcb_generic_error_t* err =
        xcb_request_check(c, xcb_shm_attach_checked(c, seg_, static_cast<std::uint32_t>(id), readOnly ? 1 : 0));
    shmctl(id, IPC_RMID, nullptr);  // gone once both sides let go
    if (err) {
      free(err);
      shmdt(addr);
      return;
    }
    addr_ = static_cast<std::uint8_t*>(addr);
  }
  ~ShmSegment() {
    if (!addr_) return;
    xcb_shm_detach(c_, seg_);
    xcb_flush(c_);
    shmdt(addr_);
  }
  ShmSegment(const ShmSegment&) = delete;
  ShmSegment& operator=(const ShmSegment&) = delete;
  bool ok() const { return addr_ != nullptr; }
  std::uint8_t* data() const { return addr_; }
  std::size_t size() const { return size_; }
  xcb_shm_seg_t id() const { return seg_; }

 private:
  xcb_connection_t* c_;
  std::size_t size_;
  xcb_shm_seg_t seg_ = 0;
  std::uint8_t* addr_ = nullptr;
};

// Rows per band for a shared segment of about 4 MiB: small enough that both
// sides touch few fresh pages, large enough that the requests stay few.
int bandRows(int stride, int height) { return std::clamp((4 << 20) / std::max(stride, 1), 1, std::max(height, 1)); }

bool grabShm(xcb_connection_t* c, xcb_screen_t* screen, const PixelFormat& f, Image& out) {
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
        xcb_shm_get_image(c, screen->root, 0, static_cast<std::int16_t>(top), static_cast<std::uint16_t>(w),
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

std::optional<Image> grabRoot(xcb_connection_t* c, xcb_screen_t* screen, bool allowShm, std::string* why) {
  if (!c || !screen) return std::nullopt;
  const auto format = rootFormat(c, screen, why);
  if (!format) return std::nullopt;
  // Every pixel is written below, or the read fails as a whole.
  Image out = Image::uninitialized(screen->width_in_pixels, screen->height_in_pixels);
  if (allowShm && grabShm(c, screen, *format, out)) return out;
  if (grabPlain(c, screen, *format, out)) return out;
  if (why) *why = "the X server did not hand over the screen's pixels";
  return std::nullopt;
}

XcbScreen::~XcbScreen() = default;

std::optional<Image> XcbScreen::read() {
  problem_.clear();
  xcb_connection_t* c = x_.connection();
  xcb_screen_t* s = x_.screen();
  // Only asked in a Wayland session, so a plain X desktop pays no round trips.
  if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland) {
    problem_ = sessionProblem(isXWayland(c, s), wayland);
    if (!problem_.empty()) return std::nullopt;
  }
  return grabRoot(c, s, true, &problem_);
}

const std::optional<Image>& XcbScreen::readNow() {
  if (!early_) early_ = read();
  return *early_;
}

std::optional<Image> XcbScreen::grab() {
  if (early_) {
    std::optional<Image> out = std::move(*early_);
    early_.reset();
    return out;
  }
  return read();
}

namespace {

// The veiled picture into `target` through a small shared segment, band by
// band. False when shared memory cannot be used.
bool putVeiledShm(xcb_connection_t* c, xcb_screen_t* s, xcb_drawable_t target, xcb_gcontext_t gc, const Image& frozen,
                  Argb veil) {
  const int w = frozen.width(), h = frozen.height();
  const int band = bandRows(w * 4, h);
  ShmSegment seg(c, static_cast<std::size_t>(w) * 4 * band, true);
  if (!seg.ok()) return false;
  auto* px = reinterpret_cast<Argb*>(seg.data());
  for (int top = 0; top < h; top += band) {
    const int rows = std::min(band, h - top);
    for (int y = 0; y < rows; ++y)
      raster::veilRow(px + static_cast<std::size_t>(y) * w, frozen.constScanLine(top + y), w, veil);
    xcb_shm_put_image(c, target, gc, static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(rows), 0, 0,
                      static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(rows), 0, static_cast<std::int16_t>(top),
                      s->root_depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, seg.id(), 0);
    // A round trip: the server has copied this band before the segment is reused.
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  }
  return true;
}

}  // namespace

VeilSplash::VeilSplash(XConnection& x, const Image& frozen, Argb veil) : x_(x) {
  xcb_connection_t* c = x.connection();
  xcb_screen_t* s = x.screen();
  const auto format = rootFormat(c, s);
  const bool direct = format && format->bitsPerPixel == 32 && format->red == 0xFF0000u &&
                      format->green == 0xFF00u && format->blue == 0xFFu &&
                      format->msbFirst == (std::endian::native == std::endian::big);
  if (!direct || frozen.width() != s->width_in_pixels || frozen.height() != s->height_in_pixels) return;
  const auto w = static_cast<std::uint16_t>(frozen.width()), h = static_cast<std::uint16_t>(frozen.height());

  // The cross-hair from the X cursor font, as the real window shows it.
  constexpr char kCursorFont[] = "cursor";
  constexpr std::uint16_t kCrosshair = 34;  // XC_crosshair; its mask is the next glyph
  const xcb_font_t font = xcb_generate_id(c);
  xcb_open_font(c, font, sizeof kCursorFont - 1, kCursorFont);
  cursor_ = xcb_generate_id(c);
  xcb_create_glyph_cursor(c, cursor_, font, font, kCrosshair, kCrosshair + 1, 0, 0, 0, 0xFFFF, 0xFFFF, 0xFFFF);
  xcb_close_font(c, font);

  // The window keeps what the screen showed (no background) until the
  // veiled picture is drawn into it, band by band, right after it maps.
  window_ = xcb_generate_id(c);
  const std::uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 1u, cursor_};  // no background, override-redirect
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, s->root, 0, 0, w, h, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    s->root_visual, XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_CURSOR, values);
  // Our process owns it, like any window of ours.
  const char kPidAtom[] = "_NET_WM_PID";
  if (auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof kPidAtom - 1, kPidAtom), nullptr)) {
    const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, atom->atom, XCB_ATOM_CARDINAL, 32, 1, &pid);
    free(atom);
  }
  xcb_map_window(c, window_);
  // Keyboard and pointer are ours from the moment the window is viewable
  // (the server takes requests in order). No replies are awaited: a failed
  // grab only means input goes where it went before.
  xcb_discard_reply(c, xcb_grab_keyboard(c, 0, window_, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)
                           .sequence);
  constexpr std::uint16_t kPointerEvents =
      XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION;
  xcb_discard_reply(c, xcb_grab_pointer(c, 0, window_, kPointerEvents, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                        XCB_NONE, cursor_, XCB_CURRENT_TIME)
                           .sequence);
  const xcb_gcontext_t gc = xcb_generate_id(c);
  xcb_create_gc(c, gc, window_, 0, nullptr);
  if (!putVeiledShm(c, s, window_, gc, frozen, veil)) {
    const int band = std::max(1, (1 << 20) / frozen.width());  // rows per request, 4 MiB each
    std::vector<Argb> rows(static_cast<std::size_t>(band) * frozen.width());
    for (int top = 0; top < frozen.height(); top += band) {
      const int n = std::min(band, frozen.height() - top);
      for (int y = 0; y < n; ++y)
        raster::veilRow(rows.data() + static_cast<std::size_t>(y) * frozen.width(), frozen.constScanLine(top + y),
                        frozen.width(), veil);
      xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc, w, static_cast<std::uint16_t>(n), 0,
                    static_cast<std::int16_t>(top), 0, s->root_depth,
                    static_cast<std::uint32_t>(static_cast<std::size_t>(n) * frozen.width() * 4),
                    reinterpret_cast<const std::uint8_t*>(rows.data()));
    }
  }
  xcb_free_gc(c, gc);
  xcb_flush(c);
}

VeilSplash::~VeilSplash() { close(); }

namespace {

// Whether a key code stands for Esc in the server's keyboard map.
bool isEscape(xcb_connection_t* c, xcb_keycode_t code) {
  constexpr xcb_keysym_t kEscape = 0xff1b;
  auto* map = xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, code, 1), nullptr);
  if (!map) return false;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
  bool esc = false;
  for (int i = 0; i < xcb_get_keyboard_mapping_keysyms_length(map); ++i) esc = esc || syms[i] == kEscape;
  free(map);
  return esc;
}

// X's buttons 1, 2, 3 as the platform's.
int buttonOf(xcb_button_t detail) {
  switch (detail) {
    case 1: return kLeft;
    case 2: return kMiddle;
    case 3: return kRight;
    default: return 0;
  }
}

}  // namespace

EarlyInput VeilSplash::close() {
  EarlyInput early;
  if (!window_) return early;
  xcb_connection_t* c = x_.connection();
  xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
  xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
  xcb_destroy_window(c, window_);
  xcb_free_cursor(c, cursor_);
  window_ = cursor_ = 0;
  // A round trip, so every key and button event from before the ungrab has arrived.
  free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
    switch (e->response_type & 0x7f) {
      case XCB_KEY_PRESS:
        if (isEscape(c, reinterpret_cast<xcb_key_press_event_t*>(e)->detail)) early.escape();
        break;
      case XCB_BUTTON_PRESS: {
        const auto* b = reinterpret_cast<xcb_button_press_event_t*>(e);
        early.press(buttonOf(b->detail), b->root_x, b->root_y);
        break;
      }
      case XCB_BUTTON_RELEASE: {
        const auto* b = reinterpret_cast<xcb_button_release_event_t*>(e);
        early.release(buttonOf(b->detail), b->root_x, b->root_y);
        break;
      }
      case XCB_MOTION_NOTIFY: {
        const auto* m = reinterpret_cast<xcb_motion_notify_event_t*>(e);
        early.motion(m->root_x, m->root_y);
        break;
      }
      default: break;
    }
    free(e);
  }
  return early;
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

int QtScreen::width() const { return qtScreenRect().width(); }
int QtScreen::height() const { return qtScreenRect().height(); }

std::string QtScreen::problem() const { return "Qt could not read the primary screen"; }

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
