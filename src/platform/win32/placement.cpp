#include "platform/win32/placement.h"

#include <algorithm>
#include <string_view>

namespace tolvane::platform::win32 {

namespace {

// The scope the hook serves; scopes nest, on one thread each.
thread_local CentredDialogs* current = nullptr;

LONG centred(LONG from, LONG to, LONG size) { return std::max(from, from + (to - from - size) / 2); }

}  // namespace

POINT centredIn(int width, int height, const RECT& area) {
  return {centred(area.left, area.right, width), centred(area.top, area.bottom, height)};
}

RECT workAreaFor(const std::optional<RECT>& region) {
  HMONITOR monitor = nullptr;
  if (region) {
    monitor = MonitorFromRect(&*region, MONITOR_DEFAULTTONEAREST);
  } else {
    POINT p{};
    GetCursorPos(&p);
    monitor = MonitorFromPoint(p, MONITOR_DEFAULTTOPRIMARY);
  }
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (monitor && GetMonitorInfoW(monitor, &info)) return info.rcWork;
  RECT all{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &all, 0);
  return all;
}

CentredDialogs::CentredDialogs(const RECT& area) : area_(area), outer_(current) {
  current = this;
  hook_ = SetWindowsHookExW(WH_CBT, hook, nullptr, GetCurrentThreadId());
}

CentredDialogs::~CentredDialogs() {
  if (timer_) KillTimer(nullptr, timer_);
  if (hook_) UnhookWindowsHookEx(hook_);
  current = outer_;
}

LRESULT CALLBACK CentredDialogs::hook(int code, WPARAM w, LPARAM l) {
  if (code == HCBT_ACTIVATE && current) current->activated(reinterpret_cast<HWND>(w));
  return CallNextHookEx(nullptr, code, w, l);
}

// Only dialog boxes ("#32770": the message box, the save dialog), each once,
// so one the user moved stays where it was put.
void CentredDialogs::activated(HWND window) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (std::wstring_view(name) != L"#32770" || (GetWindowLongW(window, GWL_STYLE) & WS_CHILD)) return;
  for (const Placed& p : placed_)
    if (p.window == window) return;
  placed_.push_back({window, place(window)});
  // Some dialogs (Wine's save dialog) settle their size once their message
  // loop first runs: a timer then comes once the queue is idle.
  if (!timer_) timer_ = SetTimer(nullptr, 0, 0, settled);
}

SIZE CentredDialogs::place(HWND window) const {
  RECT r{};
  GetWindowRect(window, &r);
  const SIZE size{r.right - r.left, r.bottom - r.top};
  const POINT at = centredIn(size.cx, size.cy, area_);
  SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return size;
}

// Centred again only when the size changed since, which the user cannot have done yet.
void CALLBACK CentredDialogs::settled(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (!current || current->timer_ != id) return;
  current->timer_ = 0;
  for (Placed& p : current->placed_) {
    RECT r{};
    if (!IsWindow(p.window) || !GetWindowRect(p.window, &r)) continue;
    if (r.right - r.left != p.size.cx || r.bottom - r.top != p.size.cy) p.size = current->place(p.window);
  }
}

}  // namespace tolvane::platform::win32
