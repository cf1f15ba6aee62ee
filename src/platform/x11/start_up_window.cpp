// The start-up window: the frozen screen under the veil in a plain X window,
// shown before Qt is up, holding the keyboard and the pointer meanwhile.
#include <unistd.h>
#include <xcb/render.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <string>
#include <vector>

#include "picture/raster_surface.h"
#include "platform/x11/x11_pixels.h"
#include "platform/x11/x11_screen.h"

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
      picture::raster::veilRow(px + static_cast<std::size_t>(y) * w, frozen.constScanLine(top + y), w, veil);
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

// The window's picture format in RENDER's terms; 0 when it has none.
xcb_render_pictformat_t windowFormat(xcb_connection_t* c, xcb_render_query_pict_formats_cookie_t cookie,
                                     xcb_visualid_t visual) {
  auto* reply = xcb_render_query_pict_formats_reply(c, cookie, nullptr);
  if (!reply) return 0;
  xcb_render_pictformat_t found = 0;
  for (auto sc = xcb_render_query_pict_formats_screens_iterator(reply); sc.rem && !found; xcb_render_pictscreen_next(&sc))
    for (auto d = xcb_render_pictscreen_depths_iterator(sc.data); d.rem && !found; xcb_render_pictdepth_next(&d))
      for (auto v = xcb_render_pictdepth_visuals_iterator(d.data); v.rem; xcb_render_pictvisual_next(&v))
        if (v.data->visual == visual) found = v.data->format;
  free(reply);
  return found;
}

// RENDER takes the colour with its alpha multiplied in, 16 bits a channel.
xcb_render_color_t renderColor(Argb argb) {
  const std::uint32_t a = argb >> 24;
  const auto channel = [a](std::uint32_t v) {
    return static_cast<std::uint16_t>((v * a * 0xFFFFu + 255u * 255u / 2) / (255u * 255u));
  };
  return {channel((argb >> 16) & 0xFF), channel((argb >> 8) & 0xFF), channel(argb & 0xFF),
          static_cast<std::uint16_t>(a * 0x101u)};
}

// Whether a compositing manager draws the screen: the owner of
// _NET_WM_CM_S<screen>, asked for with `atom` (an atom that only exists once
// some manager made it).
bool composited(xcb_connection_t* c, xcb_intern_atom_cookie_t atom) {
  auto* name = xcb_intern_atom_reply(c, atom, nullptr);
  const xcb_atom_t selection = name ? name->atom : XCB_NONE;
  free(name);
  if (selection == XCB_NONE) return false;
  auto* owner = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
  const bool owned = !owner || owner->owner != XCB_NONE;  // unknown counts as composited
  free(owner);
  return owned;
}

}  // namespace

bool VeilSplash::open(xcb_intern_atom_cookie_t& pidAtom) {
  xcb_connection_t* c = x_.connection();
  xcb_screen_t* s = x_.screen();
  const auto format = rootFormat(c, s);
  const bool direct = format && format->bitsPerPixel == 32 && format->red == 0xFF0000u &&
                      format->green == 0xFF00u && format->blue == 0xFFu &&
                      format->msbFirst == (std::endian::native == std::endian::big);
  if (!direct) return false;
  // Asked now, answered once the window is up (see ownWindow()).
  const char kPidAtom[] = "_NET_WM_PID";
  pidAtom = xcb_intern_atom(c, 0, sizeof kPidAtom - 1, kPidAtom);
  cursor_ = crosshairCursor(c);
  // The window keeps what the screen showed (no background) until the
  // veiled picture is drawn into it, right after it maps.
  window_ = xcb_generate_id(c);
  const std::uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 1u, cursor_};  // no background, override-redirect
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, s->root, 0, 0, s->width_in_pixels, s->height_in_pixels, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, s->root_visual,
                    XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_CURSOR, values);
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
  return true;
}

void VeilSplash::ownWindow(xcb_intern_atom_cookie_t pidAtom) {
  xcb_connection_t* c = x_.connection();
  // Our process owns it, like any window of ours.
  if (auto* atom = xcb_intern_atom_reply(c, pidAtom, nullptr)) {
    const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, atom->atom, XCB_ATOM_CARDINAL, 32, 1, &pid);
    free(atom);
  }
  xcb_flush(c);
}

VeilSplash::VeilSplash(XConnection& x, const Image& frozen, Argb veil) : x_(x) {
  xcb_connection_t* c = x.connection();
  xcb_screen_t* s = x.screen();
  xcb_intern_atom_cookie_t pidAtom{};
  if (frozen.width() != s->width_in_pixels || frozen.height() != s->height_in_pixels || !open(pidAtom)) return;
  const auto w = static_cast<std::uint16_t>(frozen.width());
  const xcb_gcontext_t gc = xcb_generate_id(c);
  xcb_create_gc(c, gc, window_, 0, nullptr);
  if (!putVeiledShm(c, s, window_, gc, frozen, veil)) {
    const int band = std::max(1, (1 << 20) / frozen.width());  // rows per request, 4 MiB each
    std::vector<Argb> rows(static_cast<std::size_t>(band) * frozen.width());
    for (int top = 0; top < frozen.height(); top += band) {
      const int n = std::min(band, frozen.height() - top);
      for (int y = 0; y < n; ++y)
        picture::raster::veilRow(rows.data() + static_cast<std::size_t>(y) * frozen.width(), frozen.constScanLine(top + y),
                        frozen.width(), veil);
      xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc, w, static_cast<std::uint16_t>(n), 0,
                    static_cast<std::int16_t>(top), 0, s->root_depth,
                    static_cast<std::uint32_t>(static_cast<std::size_t>(n) * frozen.width() * 4),
                    reinterpret_cast<const std::uint8_t*>(rows.data()));
    }
  }
  xcb_free_gc(c, gc);
  ownWindow(pidAtom);
}

VeilSplash::VeilSplash(XConnection& x, Argb veil) : x_(x) {
  xcb_connection_t* c = x.connection();
  xcb_screen_t* s = x.screen();
  const xcb_query_extension_reply_t* render = xcb_get_extension_data(c, &xcb_render_id);
  if (!render || !render->present) return;
  const auto formats = xcb_render_query_pict_formats(c);
  const std::string manager = "_NET_WM_CM_S" + std::to_string(x.screenNumber());
  const auto managerAtom = xcb_intern_atom(c, 1, static_cast<std::uint16_t>(manager.size()), manager.c_str());
  const auto w = s->width_in_pixels, h = s->height_in_pixels;
  // The screen as it is, children included, before our window is on it.
  // Nothing waits for a reply until the window shows it: the server works
  // through the copies while this process goes on.
  copy_ = xcb_generate_id(c);
  xcb_create_pixmap(c, s->root_depth, copy_, s->root, w, h);
  const xcb_gcontext_t gc = xcb_generate_id(c);
  const std::uint32_t gcValues[] = {XCB_SUBWINDOW_MODE_INCLUDE_INFERIORS, 0};  // and no exposure events
  xcb_create_gc(c, gc, s->root, XCB_GC_SUBWINDOW_MODE | XCB_GC_GRAPHICS_EXPOSURES, gcValues);
  xcb_copy_area(c, s->root, copy_, gc, 0, 0, 0, 0, w, h);
  xcb_intern_atom_cookie_t pidAtom{};
  if (!open(pidAtom)) {
    xcb_free_gc(c, gc);
    dropFrozenCopy();
    free(xcb_render_query_pict_formats_reply(c, formats, nullptr));
    free(xcb_intern_atom_reply(c, managerAtom, nullptr));
    return;
  }
  // Without a compositing manager the window, having no background, keeps
  // what the screen showed, which is the copy; with one, its content must be drawn.
  if (composited(c, managerAtom)) xcb_copy_area(c, copy_, window_, gc, 0, 0, 0, 0, w, h);
  xcb_free_gc(c, gc);
  const xcb_render_pictformat_t format = windowFormat(c, formats, s->root_visual);
  if (!format) {  // a server whose RENDER cannot draw on the screen's visual
    free(xcb_intern_atom_reply(c, pidAtom, nullptr));
    close();
    dropFrozenCopy();
    return;
  }
  const xcb_render_picture_t picture = xcb_generate_id(c);
  xcb_render_create_picture(c, picture, window_, format, 0, nullptr);
  const xcb_rectangle_t all{0, 0, w, h};
  xcb_render_fill_rectangles(c, XCB_RENDER_PICT_OP_OVER, picture, renderColor(veil), 1, &all);
  xcb_render_free_picture(c, picture);
  xcb_flush(c);
  ownWindow(pidAtom);
}

void VeilSplash::dropFrozenCopy() {
  if (!copy_) return;
  xcb_free_pixmap(x_.connection(), copy_);
  xcb_flush(x_.connection());
  copy_ = 0;
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
