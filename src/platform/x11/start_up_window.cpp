// The start-up window: the frozen screen under the veil in a plain X window,
// shown before Qt is up, holding the keyboard and the pointer meanwhile.
#include <unistd.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <vector>

#include "platform/x11/x11_pixels.h"
#include "platform/x11/x11_screen.h"
#include "platform/raster_surface.h"

namespace tolvane::platform::x11 {

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

// The cross-hair from the X cursor font, as the real window shows it.
xcb_cursor_t crosshairCursor(xcb_connection_t* c) {
  constexpr char kCursorFont[] = "cursor";
  constexpr std::uint16_t kCrosshair = 34;  // XC_crosshair; its mask is the next glyph
  const xcb_font_t font = xcb_generate_id(c);
  xcb_open_font(c, font, sizeof kCursorFont - 1, kCursorFont);
  const xcb_cursor_t cursor = xcb_generate_id(c);
  xcb_create_glyph_cursor(c, cursor, font, font, kCrosshair, kCrosshair + 1, 0, 0, 0, 0xFFFF, 0xFFFF, 0xFFFF);
  xcb_close_font(c, font);
  return cursor;
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

  cursor_ = crosshairCursor(c);

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

}  // namespace tolvane::platform::x11
