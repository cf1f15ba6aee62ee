#include "platform/win32/desktop.h"

#include <shlobj.h>

#include <string>

#include "platform/win32/wide.h"

namespace tolvane::platform::win32 {

GdiScreen::GdiScreen()
    : left_(GetSystemMetrics(SM_XVIRTUALSCREEN)),
      top_(GetSystemMetrics(SM_YVIRTUALSCREEN)),
      width_(GetSystemMetrics(SM_CXVIRTUALSCREEN)),
      height_(GetSystemMetrics(SM_CYVIRTUALSCREEN)) {}

// A top-down 32-bit DIB section has the canvas's own pixel layout, so the
// copy lands in the picture with no conversion. CAPTUREBLT takes layered
// windows along.
ScreenRead GdiScreen::grab() {
  ScreenRead read;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (dib && memory) {
    HGDIOBJ old = SelectObject(memory, dib);
    ok = BitBlt(memory, 0, 0, width_, height_, screen, left_, top_, SRCCOPY | CAPTUREBLT);
    GdiFlush();
    SelectObject(memory, old);
  }
  if (ok) {
    read.picture = Image::uninitialized(width_, height_);
    const auto* from = static_cast<const Argb*>(bits);
    Argb* to = read.picture.bits();
    for (std::size_t i = 0, n = read.picture.pixelCount(); i < n; ++i) to[i] = from[i] | 0xFF000000u;
  } else {
    read.failure = Failure{kScreenReadFailed, "BitBlt of the desktop failed (" + std::to_string(GetLastError()) + ")"};
  }
  if (dib) DeleteObject(dib);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return read;
}

void WinPointer::setShape(PointerShape shape) {
  shape_ = shape;
  SetCursor(cursor());
}

HCURSOR WinPointer::cursor() const {
  const wchar_t* id = IDC_ARROW;
  switch (shape_) {
    case PointerShape::Cross: id = IDC_CROSS; break;
    case PointerShape::Move: id = IDC_SIZEALL; break;
    case PointerShape::SizeNESW: id = IDC_SIZENESW; break;
    case PointerShape::SizeNS: id = IDC_SIZENS; break;
    case PointerShape::SizeNWSE: id = IDC_SIZENWSE; break;
    case PointerShape::SizeWE: id = IDC_SIZEWE; break;
    case PointerShape::Busy: id = IDC_WAIT; break;
    default: break;
  }
  return LoadCursorW(nullptr, id);
}

MutexInstanceLock::MutexInstanceLock(const wchar_t* name) : name_(name) {}

MutexInstanceLock::~MutexInstanceLock() { release(); }

InstanceLock::Result MutexInstanceLock::acquire() {
  if (mutex_) return {};
  HANDLE m = CreateMutexW(nullptr, TRUE, name_);
  if (!m) {
    return {State::Unavailable, Failure{static_cast<int>(GetLastError()), "cannot create the capture's mutex"}};
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(m);
    return {State::HeldElsewhere, std::nullopt};
  }
  mutex_ = m;
  return {};
}

void MutexInstanceLock::release() {
  if (!mutex_) return;
  ReleaseMutex(mutex_);
  CloseHandle(mutex_);
  mutex_ = nullptr;
}

LocalTime WinEnvironment::now() const {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

std::string WinEnvironment::picturesFolder() const {
  PWSTR path = nullptr;
  std::string out;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Pictures, 0, nullptr, &path))) out = narrow(path);
  CoTaskMemFree(path);
  if (out.empty()) {
    wchar_t profile[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH)) out = narrow(profile);
  }
  return out;
}

}  // namespace tolvane::platform::win32
