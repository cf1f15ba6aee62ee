#include "platform/win32/tool_tips.h"

#include <commctrl.h>

#include "platform/win32/wide.h"

namespace tolvane::platform::win32 {

namespace {

// The size every comctl32 version takes; the text and the place are all we use.
TOOLINFOW toolInfo(HWND window, UINT_PTR id) {
  TOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;
  ti.uFlags = TTF_SUBCLASS;  // it watches the window's mouse messages itself
  ti.hwnd = window;
  ti.uId = id;
  return ti;
}

}  // namespace

WinToolTips::WinToolTips(HWND window) : window_(window) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  // Shown even while another window is active, and above the topmost capture window.
  tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, nullptr,
                          nullptr);
}

WinToolTips::~WinToolTips() {
  if (tips_ && IsWindow(tips_)) DestroyWindow(tips_);
}

void WinToolTips::set(UINT_PTR id, const std::string& text, const RECT& area, bool shown) {
  if (!tips_) return;
  const auto had = tools_.find(id);
  const bool wanted = shown && !text.empty() && !IsRectEmpty(&area);
  const std::wstring wide = widen(text);
  if (had != tools_.end() && wanted && had->second.text == wide && EqualRect(&had->second.area, &area)) return;
  TOOLINFOW ti = toolInfo(window_, id);
  if (had != tools_.end()) {
    SendMessageW(tips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    tools_.erase(had);
  }
  if (!wanted) return;
  Tool& tool = tools_[id];
  tool = {wide, area};
  ti.rect = area;
  ti.lpszText = tool.text.data();
  SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

}  // namespace tolvane::platform::win32
