// What one window system adds to a capture window: on X11 the keyboard grab
// and staying above other clients' windows, on Wayland full screen on an
// output and the keyboard for our dialogs. The capture stage attaches the
// handling of the window system Qt runs on to each window, once, before the
// window is shown. The plain handling (Qt's offscreen platform) adds nothing.
#pragma once

#include <QPointF>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

#include "picture/image.h"

class QWidget;

namespace tolvane::platform::qt {

class CaptureWindow;

// Pictures put straight into a window, past Qt's backing store, so that a
// full-screen window needs no second screen-sized buffer.
class DirectPixels {
 public:
  virtual ~DirectPixels() = default;
  // Puts `pixels` at (x, y) of the window (device pixels), without waiting.
  virtual void put(const Image& pixels, int x, int y) = 0;
  // Sends what was put.
  virtual void flush() = 0;
};

class WindowHandling {
 public:
  WindowHandling() = default;
  WindowHandling(const WindowHandling&) = delete;
  WindowHandling& operator=(const WindowHandling&) = delete;
  virtual ~WindowHandling() = default;

  // The window system places top-level windows itself: the window asks for
  // full screen on one output instead of covering its screen rectangle.
  virtual bool placesWindowsItself() const { return false; }
  // What the window showed stays in its own buffers: the window system asks
  // for a frame again (an expose) to have one committed, not because the
  // picture was lost.
  virtual bool keepsContents() const { return false; }

  // The window's native window exists and is not mapped yet.
  virtual void created() {}
  // The window has been shown and given the focus.
  virtual void presented() {}
  // The window's show event.
  virtual void shown() {}
  // The window's first frame has been handed to the window system.
  virtual void firstFrameOut() {}
  // The window is about to be hidden.
  virtual void hiding() {}
  // The window, shown until now, has been hidden.
  virtual void hidden() {}

  // Where the pointer is, in the window's logical pixels, when the left
  // button is already up; nothing while it is held or when that is unknown.
  virtual std::optional<QPointF> leftButtonUpAt() const { return std::nullopt; }
  // The position of the mouse event of `timestamp` at `logical` (the
  // window's logical pixels) in the window's device pixels, as the window
  // system reported it, when it knows it more exactly than logical × scale.
  virtual std::optional<QPointF> exactPosition(std::uint64_t /*timestamp*/, QPointF /*logical*/,
                                               double /*scale*/) const {
    return std::nullopt;
  }

  // A dialog of ours runs over the window, and has ended.
  virtual void dialogOpens() {}
  virtual void dialogEnded() {}
  // Readies a dialog to be shown over the shown window.
  virtual void placeDialog(QWidget& /*dialog*/) {}

  // A way to put pictures straight into the window, once it exists; nullptr
  // where there is none for its pixel format or window system (Qt then
  // paints the whole window).
  virtual std::unique_ptr<DirectPixels> directPixels() { return nullptr; }
};

// The handling for Qt's platform `qtPlatform` ("xcb", "wayland"), for
// `window`; the plain one for any other.
std::unique_ptr<WindowHandling> windowHandlingFor(const QString& qtPlatform, CaptureWindow& window);

// The handlings of the two window systems.
std::unique_ptr<WindowHandling> x11WindowHandling(CaptureWindow& window);
std::unique_ptr<WindowHandling> waylandWindowHandling();

}  // namespace tolvane::platform::qt
