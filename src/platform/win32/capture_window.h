// The full-screen capture window on Windows: shows the canvas straight from
// its pixels (SetDIBitsToDevice), paints the controls over it, and hands
// mouse and keyboard events to the logic.
#pragma once

#include "platform/win32/win.h"

#include <functional>
#include <memory>
#include <string>

#include "picture/raster_host.h"
#include "picture/raster_surface.h"
#include "platform/events.h"
#include "platform/pointer_router.h"
#include "platform/system.h"
#include "texts/texts.h"

namespace tolvane::platform::win32 {

class WinControlView;
class WinPointer;

class CaptureWindow : public picture::Presenter {
 public:
  // The window covers (left, top, width, height) of the virtual screen.
  CaptureWindow(int left, int top, int width, int height);
  ~CaptureWindow() override;
  CaptureWindow(const CaptureWindow&) = delete;
  CaptureWindow& operator=(const CaptureWindow&) = delete;

  HWND handle() const { return hwnd_; }
  void attach(picture::RasterSurface* surface, WinControlView* view, WinPointer* pointer, EventSink* sink);

  // One event to the logic, then the canvas's changes to the screen. Failures
  // of the logic are caught here and told to onFailure.
  void send(const std::function<void(EventSink&)>& f);
  std::function<void(const std::string&)> onFailure;
  std::function<void()> onCloseRequested;

  // Presenter
  void invalidate(const IRect& area) override;
  void flush() override;

 private:
  static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM w, LPARAM l);
  LRESULT handle(UINT msg, WPARAM w, LPARAM l);
  void paint();
  void mouse(UINT msg, WPARAM w, LPARAM l);
  bool key(WPARAM vk);

  HWND hwnd_ = nullptr;
  picture::RasterSurface* surface_ = nullptr;
  WinControlView* view_ = nullptr;
  WinPointer* pointer_ = nullptr;
  EventRelay relay_{std::string(texts::kOutOfMemory)};
  PointerRouter router_{relay_};
};

// Showing, hiding and closing the window; warnings on stderr.
class WinApp : public App {
 public:
  explicit WinApp(CaptureWindow& window) : window_(window) {}
  void showMaximized() override;
  void hideWindow() override;
  void close() override;
  void warn(const std::string& message) override;

 private:
  CaptureWindow& window_;
};

// A Windows virtual key as the logic's key, with the modifiers held now.
Key keyOf(WPARAM vk, bool ctrl, bool shift, bool alt);

}  // namespace tolvane::platform::win32
