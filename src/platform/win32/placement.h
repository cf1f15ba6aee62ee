// Dialogs centred on the monitor that holds the capture's region, rather
// than where Windows puts them (the screen's corner, or the middle of the
// capture window, which spans every monitor).
#pragma once

#include "platform/win32/win.h"

#include <functional>
#include <optional>
#include <vector>

namespace tolvane::platform::win32 {

// The capture's region in screen pixels; nullopt while none is made.
using RegionOnScreen = std::function<std::optional<RECT>()>;

// The top-left corner that centres a `width` x `height` box in `area`; a box
// larger than the area starts at its top or left edge.
POINT centredIn(int width, int height, const RECT& area);

// The work area of the monitor that holds most of `region` (the nearest one
// when none does); without a region, that of the pointer's monitor.
RECT workAreaFor(const std::optional<RECT>& region);

// While it lives, each dialog box this thread shows is centred in `area`
// as it is first activated (a CBT hook: it serves MessageBoxW and
// GetSaveFileNameW alike, and keeps the system's own save dialog).
class CentredDialogs {
 public:
  explicit CentredDialogs(const RECT& area);
  ~CentredDialogs();
  CentredDialogs(const CentredDialogs&) = delete;
  CentredDialogs& operator=(const CentredDialogs&) = delete;

 private:
  struct Placed {
    HWND window;
    SIZE size;  // as centred
  };
  static LRESULT CALLBACK hook(int code, WPARAM w, LPARAM l);
  static void CALLBACK settled(HWND, UINT, UINT_PTR id, DWORD);
  void activated(HWND window);
  SIZE place(HWND window) const;  // centres it; its size

  RECT area_;
  HHOOK hook_ = nullptr;
  UINT_PTR timer_ = 0;
  CentredDialogs* outer_;
  std::vector<Placed> placed_;
};

}  // namespace tolvane::platform::win32
