#include "platform/win32/capture_window.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdio>

#include "platform/win32/control_view.h"
#include "platform/win32/desktop.h"

namespace tolvane::platform::win32 {

namespace {

constexpr wchar_t kClass[] = L"TolvaneCapture";
constexpr UINT kEditKey = WM_APP + 1;
constexpr int kStripRows = 64;

bool held(int vk) { return GetKeyState(vk) < 0; }

}  // namespace

Key keyOf(WPARAM vk, bool ctrl, bool shift, bool alt) {
  Key k;
  k.ctrl = ctrl;
  k.shift = shift;
  k.alt = alt;
  switch (vk) {
    case VK_ESCAPE: k.code = KeyCode::Escape; break;
    case VK_RETURN: k.code = KeyCode::Enter; break;
    case VK_LEFT: k.code = KeyCode::Left; break;
    case VK_RIGHT: k.code = KeyCode::Right; break;
    case VK_UP: k.code = KeyCode::Up; break;
    case VK_DOWN: k.code = KeyCode::Down; break;
    default:
      if (vk >= 'A' && vk <= 'Z') {
        k.code = KeyCode::Letter;
        k.letter = static_cast<char>('a' + (vk - 'A'));
      }
  }
  return k;
}

CaptureWindow::CaptureWindow(int left, int top, int width, int height) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
  RegisterClassExW(&wc);
  relay_.onFailure = [this](const std::string& what) {
    if (onFailure) onFailure(what);
  };
  hwnd_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClass, L"Tolvane", WS_POPUP, left, top, width, height,
                          nullptr, nullptr, wc.hInstance, this);
}

CaptureWindow::~CaptureWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void CaptureWindow::attach(picture::RasterSurface* surface, WinControlView* view, WinPointer* pointer, EventSink* sink) {
  surface_ = surface;
  view_ = view;
  pointer_ = pointer;
  relay_.setSurface(surface);
  relay_.setSink(sink);
}

void CaptureWindow::send(const std::function<void(EventSink&)>& f) { relay_.send(f); }

void CaptureWindow::invalidate(const IRect& area) {
  const RECT r{area.left, area.top, area.right, area.bottom};
  InvalidateRect(hwnd_, &r, FALSE);
}

void CaptureWindow::flush() { UpdateWindow(hwnd_); }

LRESULT CALLBACK CaptureWindow::proc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<CaptureWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<CaptureWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self ? self->handle(msg, w, l) : DefWindowProcW(hwnd, msg, w, l);
}

LRESULT CaptureWindow::handle(UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_PAINT: paint(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SETCURSOR:
      if (LOWORD(l) != HTCLIENT || !pointer_) break;
      SetCursor(pointer_->cursor());
      return TRUE;
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP:
    case WM_MOUSEMOVE: case WM_LBUTTONDBLCLK:
      mouse(msg, w, l);
      return 0;
    case WM_KEYDOWN: case WM_SYSKEYDOWN:
      if (key(w) || msg == WM_KEYDOWN) return 0;
      break;
    case kEditKey: return key(w) ? 1 : 0;
    case WM_COMMAND:
      if (view_) view_->command(HIWORD(w), reinterpret_cast<HWND>(l));
      return 0;
    case WM_CTLCOLOREDIT:
      if (view_)
        if (HBRUSH back = view_->editColors(reinterpret_cast<HWND>(l), reinterpret_cast<HDC>(w)))
          return reinterpret_cast<LRESULT>(back);
      break;
    case WM_CLOSE:
      if (onCloseRequested) onCloseRequested();
      return 0;
    default: break;
  }
  return DefWindowProcW(hwnd_, msg, w, l);
}

// The canvas in strips straight from its pixels, then the controls over it.
void CaptureWindow::paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  if (surface_) {
    const IRect area = IRect{ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom}.intersected(
        surface_->rect());
    for (int y = area.top; y < area.bottom; y += kStripRows) {
      const IRect strip{area.left, y, area.right, std::min(y + kStripRows, area.bottom)};
      const Image pixels = surface_->compose(strip);
      BITMAPINFO info{};
      info.bmiHeader = {sizeof(BITMAPINFOHEADER), pixels.width(), -pixels.height(), 1, 32, BI_RGB, 0, 0, 0, 0, 0};
      SetDIBitsToDevice(dc, strip.left, strip.top, static_cast<DWORD>(pixels.width()),
                        static_cast<DWORD>(pixels.height()), 0, 0, 0, static_cast<UINT>(pixels.height()),
                        pixels.constBits(), &info, DIB_RGB_COLORS);
    }
  }
  if (view_) view_->paint(dc);
  EndPaint(hwnd_, &ps);
}

// The router picks the control each event goes to; the window holds the
// pointer while a button is down.
void CaptureWindow::mouse(UINT msg, WPARAM w, LPARAM l) {
  const int x = GET_X_LPARAM(l), y = GET_Y_LPARAM(l);
  Mouse m;
  m.shift = (w & MK_SHIFT ? 1 : 0) | (w & MK_CONTROL ? 2 : 0) | (held(VK_MENU) ? 4 : 0);
  m.x = static_cast<float>(x);
  m.y = static_cast<float>(y);
  const bool down = msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN;
  m.button = msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP || msg == WM_LBUTTONDBLCLK ? kLeft
             : msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP ? kRight
             : msg == WM_MBUTTONDOWN || msg == WM_MBUTTONUP ? kMiddle
                                                            : 0;
  if (msg == WM_MOUSEMOVE)
    m.button = (w & MK_LBUTTON ? kLeft : 0) | (w & MK_RBUTTON ? kRight : 0) | (w & MK_MBUTTON ? kMiddle : 0);
  const CtlRef over = view_ ? view_->hitTest(x, y).ref : CtlRef{};
  if (down || msg == WM_LBUTTONDBLCLK) {
    SetFocus(hwnd_);
    SetCapture(hwnd_);
  }
  if (msg == WM_LBUTTONDBLCLK) {
    router_.doubleClick(over, m);
  } else if (down) {
    router_.press(over, m);
  } else if (msg == WM_MOUSEMOVE) {
    router_.move(over, m);
  } else {
    // Let the pointer go first: a click may open the size list, which takes it.
    if (!(w & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) ReleaseCapture();
    router_.release(over, m);
  }
}

bool CaptureWindow::key(WPARAM vk) {
  // While the size list is open, keys are the list's, as in a Qt popup.
  if (view_ && view_->comboKey(vk)) return true;
  const Key k = keyOf(vk, held(VK_CONTROL), held(VK_SHIFT), held(VK_MENU));
  const CtlRef focus = view_ ? view_->focus() : CtlRef{};
  bool used = false;
  send([&](EventSink& s) { used = s.keyDown(focus, k); });
  return used;
}

void WinApp::showMaximized() {
  ShowWindow(window_.handle(), SW_SHOW);
  SetForegroundWindow(window_.handle());
  SetFocus(window_.handle());
  UpdateWindow(window_.handle());
}

void WinApp::hideWindow() { ShowWindow(window_.handle(), SW_HIDE); }

void WinApp::close() {
  ShowWindow(window_.handle(), SW_HIDE);
  PostQuitMessage(0);
}

void WinApp::warn(const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); }

}  // namespace tolvane::platform::win32
