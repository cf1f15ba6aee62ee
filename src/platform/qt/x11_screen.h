// The X screen: a connection of our own, made before Qt starts, to test the
// display and to read the root window once.
#pragma once

#include <future>
#include <memory>
#include <optional>
#include <string>

#include "platform/system.h"

struct xcb_connection_t;
struct xcb_screen_t;

namespace tolvane::platform::qt {

class XConnection {
 public:
  // nullptr when the display cannot be reached; `error` then says why.
  static std::unique_ptr<XConnection> open(std::string* error);
  ~XConnection();
  XConnection(const XConnection&) = delete;
  XConnection& operator=(const XConnection&) = delete;

  xcb_connection_t* connection() const { return c_; }
  xcb_screen_t* screen() const { return screen_; }
  int width() const;
  int height() const;

 private:
  XConnection(xcb_connection_t* c, xcb_screen_t* s) : c_(c), screen_(s) {}
  xcb_connection_t* c_;
  xcb_screen_t* screen_;
};

// Reads the root window: MIT-SHM first, plain GetImage when that fails.
// Pixels are 0xAARRGGBB with alpha 0xFF.
std::optional<Image> grabRoot(xcb_connection_t* c, xcb_screen_t* screen, bool allowShm = true);

class XcbScreen : public Screen {
 public:
  explicit XcbScreen(XConnection& x) : x_(x) {}
  ~XcbScreen() override;
  int widthTwips() const override { return x_.width() * 15; }
  int heightTwips() const override { return x_.height() * 15; }
  // The first read after prefetch() is the one prefetch started.
  std::optional<Image> grab() override;
  IPoint cursorPos() const override;

  // Starts reading the screen on a thread of its own, so that the read
  // overlaps Qt's start-up. Nothing else uses the connection meanwhile.
  void prefetch();

 private:
  XConnection& x_;
  std::future<std::optional<Image>> prefetched_;
};

// Without X (the offscreen platform of the tests): Qt's primary screen.
class QtScreen : public Screen {
 public:
  int widthTwips() const override;
  int heightTwips() const override;
  std::optional<Image> grab() override;
  IPoint cursorPos() const override;
};

}  // namespace tolvane::platform::qt
