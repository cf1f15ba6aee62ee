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
  int width() const;
  int height() const;

 private:
  XConnection(xcb_connection_t* c, xcb_screen_t* s) : c_(c), screen_(s) {}
  xcb_connection_t* c_;
  xcb_screen_t* screen_;
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

// Reads the root window: MIT-SHM first, plain GetImage when that fails.
// Pixels are 0xAARRGGBB with alpha 0xFF.
ScreenRead grabRoot(xcb_connection_t* c, xcb_screen_t* screen, bool allowShm = true);

class XcbScreen : public Screen {
 public:
  explicit XcbScreen(XConnection& x) : x_(x) {}
  ~XcbScreen() override;
  int width() const override { return x_.width(); }
  int height() const override { return x_.height(); }
  // The first read after readNow() hands over what readNow() read.
  ScreenRead grab() override;

  // Reads the screen right away, before Qt starts and keeps the server busy.
  const ScreenRead& readNow();

 private:
  ScreenRead read();

  XConnection& x_;
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
  ~VeilSplash() override;
  VeilSplash(const VeilSplash&) = delete;
  VeilSplash& operator=(const VeilSplash&) = delete;
  // Removes the window and lets keyboard and pointer go; what was pressed
  // while it was up.
  EarlyInput close() override;
  bool shown() const { return window_ != 0; }

 private:
  XConnection& x_;
  std::uint32_t window_ = 0;
  std::uint32_t cursor_ = 0;
};

}  // namespace tolvane::platform::x11
