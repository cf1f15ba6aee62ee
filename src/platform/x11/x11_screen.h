// The X screen: a connection of our own, made before Qt is loaded, to test
// the display, read the root window once and show the start-up window.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/early_input.h"
#include "platform/system.h"

struct xcb_connection_t;
struct xcb_screen_t;
struct xcb_intern_atom_cookie_t;

namespace tolvane::platform::x11 {

class XConnection {
 public:
  // nullptr when the display cannot be reached; `error` then says why.
  static std::unique_ptr<XConnection> open(std::string* error);
  ~XConnection();
  XConnection(const XConnection&) = delete;
  XConnection& operator=(const XConnection&) = delete;

  xcb_connection_t* connection() const { return c_; }
  // Whether the server still answers: a round trip on the connection.
  bool answers() const;
  xcb_screen_t* screen() const { return screen_; }
  int screenNumber() const { return number_; }
  int width() const;
  int height() const;

 private:
  XConnection(xcb_connection_t* c, xcb_screen_t* s, int number) : c_(c), screen_(s), number_(number) {}
  xcb_connection_t* c_;
  xcb_screen_t* screen_;
  int number_;
};

// The root window's visual, as far as reading its pixels goes.
struct RootVisual {
  int depth = 0;
  int bitsPerPixel = 0;
  int visualClass = 0;  // as in the X protocol: 0 StaticGray ... 4 TrueColor, 5 DirectColor
  std::uint32_t red = 0, green = 0, blue = 0;
};
RootVisual rootVisual(xcb_connection_t* c, xcb_screen_t* screen);
// Why pixels of this visual cannot be read (nor shown by Qt); nothing when they can.
std::optional<Failure> visualFailure(const RootVisual& v);
// Why the desktop cannot be read through this X server: XWayland inside a
// Wayland session only holds the windows of X programs. Nothing otherwise.
std::optional<Failure> sessionFailure(bool xwayland, const char* waylandDisplay);
// Whether the X server is XWayland: its own extension, or outputs named XWAYLAND<n>.
bool isXWayland(xcb_connection_t* c, xcb_screen_t* screen);

// Reads the root window, or `from` (a pixmap of the screen's size and depth)
// when set: MIT-SHM first, plain GetImage when that fails.
// Pixels are 0xAARRGGBB with alpha 0xFF.
ScreenRead grabRoot(xcb_connection_t* c, xcb_screen_t* screen, bool allowShm = true, std::uint32_t from = 0);

class XcbScreen : public Screen {
 public:
  explicit XcbScreen(XConnection& x) : x_(x) {}
  ~XcbScreen() override;
  int width() const override { return x_.width(); }
  int height() const override { return x_.height(); }
  // The first read after readNow() hands over what readNow() read.
  ScreenRead grab() override;

  // Reads the screen right away, before Qt starts and keeps the server busy;
  // from `from` when set, the server's copy of the screen under the start-up window.
  const ScreenRead& readNow(std::uint32_t from = 0);

 private:
  ScreenRead read();

  XConnection& x_;
  std::uint32_t source_ = 0;
  std::optional<ScreenRead> early_;
};

// The frozen screen under the veil in a plain X window of our own, shown the
// moment the screen has been read, while Qt starts. It goes once the real
// window has painted. Meanwhile it holds the keyboard and the pointer (with
// the cross-hair), so neither reaches the program below, and it keeps an Esc
// and a drag begun on it for the real window.
class VeilSplash : public StartUpVeil {
 public:
  // Shows nothing when the screen's pixel format is not 32-bit TrueColor.
  VeilSplash(XConnection& x, const Image& frozen, Argb veil);
  // Shows the screen as it is now, veiled by the X server itself before
  // anything is read: a copy of the root window into a pixmap, that copy
  // into the window, the veil as RENDER's translucent fill over it. The
  // screen is then read from frozenCopy(), so the picture is exactly what
  // the veil covers. Shows nothing without RENDER or a 32-bit TrueColor screen.
  VeilSplash(XConnection& x, Argb veil);
  // The server's copy of the screen (0 when there is none), until dropped.
  std::uint32_t frozenCopy() const { return copy_; }
  void dropFrozenCopy();
  ~VeilSplash() override;
  VeilSplash(const VeilSplash&) = delete;
  VeilSplash& operator=(const VeilSplash&) = delete;
  // Removes the window and lets keyboard and pointer go; what was pressed
  // while it was up.
  EarlyInput close() override;
  bool shown() const { return window_ != 0; }

 private:
  // Creates, maps and grabs the window: false when the screen is not 32-bit
  // TrueColor. `pidAtom` is asked for on the way; ownWindow() takes the answer.
  bool open(xcb_intern_atom_cookie_t& pidAtom);
  // Marks the window as this process's (_NET_WM_PID) and sends what is pending.
  void ownWindow(xcb_intern_atom_cookie_t pidAtom);

  XConnection& x_;
  std::uint32_t window_ = 0;
  std::uint32_t cursor_ = 0;
  std::uint32_t copy_ = 0;
};

}  // namespace tolvane::platform::x11
