// Puts pictures straight into an X window, past Qt's backing store, so that
// a full-screen window does not need a second screen-sized buffer.
#pragma once

#include <cstdint>

#include "picture/image.h"
#include "platform/qt/window_handling.h"

struct xcb_connection_t;

namespace tolvane::platform::qt {

class WindowPixels : public DirectPixels {
 public:
  // `window` on `c`. Usable only where the window's pixels are laid out as a
  // picture's (32 bits a pixel, red in 0xff0000, in the host's byte order).
  WindowPixels(xcb_connection_t* c, std::uint32_t window);
  ~WindowPixels() override;
  WindowPixels(const WindowPixels&) = delete;
  WindowPixels& operator=(const WindowPixels&) = delete;

  bool usable() const { return gc_ != 0; }
  // Puts `pixels` at (x, y) of the window, in as many requests as the
  // server's request size needs. Sends them without waiting.
  void put(const Image& pixels, int x, int y) override;
  void flush() override;
  // The most bytes of pixels one request may carry; smaller for tests.
  void limitRequestBytes(std::size_t bytes) { maxBytes_ = bytes; }

 private:
  xcb_connection_t* c_;
  std::uint32_t window_;
  std::uint32_t gc_ = 0;
  std::uint8_t depth_ = 0;
  std::size_t maxBytes_ = 0;
};

}  // namespace tolvane::platform::qt
