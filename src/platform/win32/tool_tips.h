// The controls' tooltips: one tooltip control over the capture window, with a
// tool for each painted control that has a tooltip, over the control's place.
#pragma once

#include "platform/win32/win.h"

#include <map>
#include <string>

namespace tolvane::platform::win32 {

class WinToolTips {
 public:
  explicit WinToolTips(HWND window);
  ~WinToolTips();
  WinToolTips(const WinToolTips&) = delete;
  WinToolTips& operator=(const WinToolTips&) = delete;

  HWND handle() const { return tips_; }
  // Tool `id` shows `text` while the pointer rests over `area` (window
  // pixels); hidden, or with no text, it shows nowhere.
  void set(UINT_PTR id, const std::string& text, const RECT& area, bool shown);

 private:
  struct Tool {
    std::wstring text;
    RECT area{};
  };
  HWND window_;
  HWND tips_ = nullptr;
  std::map<UINT_PTR, Tool> tools_;  // the tools added, as added
};

}  // namespace tolvane::platform::win32
