#include "platform/win32/control_view.h"

#include <cmath>

#include "platform/win32/text_engine.h"
#include "platform/win32/wide.h"

namespace tolvane::platform::win32 {

namespace {

constexpr UINT kEditKey = WM_APP + 1;  // an EDIT child asks the window about a key

// System colours (high bit set) as Windows' own.
COLORREF colorOf(ColorRef c) {
  const auto u = static_cast<std::uint32_t>(c);
  if (u & 0x80000000u) return GetSysColor(static_cast<int>(u & 0xFFu));
  return static_cast<COLORREF>(u & 0xFFFFFFu);
}

// Keys in a text box go to the capture window first, which asks the logic.
LRESULT CALLBACK editProc(HWND edit, UINT msg, WPARAM w, LPARAM l) {
  const auto old = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(edit, GWLP_USERDATA));
  if (msg == WM_KEYDOWN && SendMessageW(GetParent(edit), kEditKey, w, reinterpret_cast<LPARAM>(edit))) return 0;
  if (msg == WM_CHAR && (w == VK_ESCAPE || w == VK_RETURN)) return 0;  // no beep
  return CallWindowProcW(old, edit, msg, w, l);
}

}  // namespace

WinControlView::WinControlView(HWND window, const GdiTextEngine& text,
                               std::function<void(std::function<void(EventSink&)>)> send)
    : window_(window), text_(text), send_(std::move(send)) {}

RECT WinControlView::windowRect(const ControlState& s) const {
  float x = s.left, y = s.top;
  for (CtlRef p = s.parent; p.ctl != Ctl::Window;) {
    const auto it = states_.find(keyOf(p));
    if (it == states_.end()) break;
    x += it->second.left;
    y += it->second.top;
    p = it->second.parent;
  }
  const auto round = [](float v) { return static_cast<LONG>(std::nearbyint(v)); };
  return {round(x), round(y), round(x + s.width), round(y + s.height)};
}

bool WinControlView::shown(const ControlState& s) const {
  if (!s.visible) return false;
  if (s.parent.ctl == Ctl::Window) return true;
  const auto it = states_.find(keyOf(s.parent));
  return it == states_.end() || shown(it->second);
}

void WinControlView::changed(const ControlState& state, Prop prop) {
  const Key key = keyOf(state.ref);
  if (!order_.count(key)) order_[key] = static_cast<int>(order_.size());
  RECT before{};
  const auto had = states_.find(key);
  if (had != states_.end() && shown(had->second)) before = windowRect(had->second);
  states_[key] = state;
  if (state.kind == Kind::TextBox) {
    mirrorEdit(state);
    return;
  }
  (void)prop;
  InvalidateRect(window_, &before, FALSE);
  if (shown(state)) {
    RECT after = windowRect(state);
    InflateRect(&after, 1, 1);
    InvalidateRect(window_, &after, FALSE);
  }
}

void WinControlView::mirrorEdit(const ControlState& s) {
  const Key key = keyOf(s.ref);
  HWND& edit = edits_[key];
  if (!edit) {
    edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 0, 0, window_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(1000 + order_[key])), nullptr, nullptr);
    SetWindowLongPtrW(edit, GWLP_USERDATA, SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editProc)));
  }
  const RECT r = windowRect(s);
  MoveWindow(edit, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(text_.font(s.fontSize > 0 ? s.fontSize : 9)), TRUE);
  const std::wstring want = widen(s.text);
  wchar_t have[4096] = {};
  GetWindowTextW(edit, have, 4096);
  if (want != have) {
    fromModel_ = true;
    SetWindowTextW(edit, want.c_str());
    SendMessageW(edit, EM_SETSEL, want.size(), want.size());
    fromModel_ = false;
  }
  ShowWindow(edit, shown(s) ? SW_SHOWNA : SW_HIDE);
}

void WinControlView::editChanged(HWND edit) {
  if (fromModel_) return;
  for (const auto& [key, h] : edits_) {
    if (h != edit) continue;
    const CtlRef ref = states_.at(key).ref;
    const int n = GetWindowTextLengthW(edit);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    GetWindowTextW(edit, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(n));
    const std::string utf8 = narrow(text);
    send_([&](EventSink& sink) { sink.textChanged(ref, utf8); });
  }
}

void WinControlView::setFocus(CtlRef ref) {
  const auto it = edits_.find(keyOf(ref));
  SetFocus(it != edits_.end() ? it->second : window_);
}

CtlRef WinControlView::focus() const {
  HWND f = GetFocus();
  for (const auto& [key, h] : edits_)
    if (h == f) return states_.at(key).ref;
  return {};
}

Hit WinControlView::hitTest(int x, int y) const {
  Hit hit{{}, static_cast<float>(x), static_cast<float>(y)};
  int best = -1;
  for (const auto& [key, s] : states_) {
    // Shapes and lines take no presses: a press on the selection's frame
    // reaches the window below, which moves the selection.
    if (s.kind == Kind::TextBox || s.kind == Kind::Line || s.kind == Kind::Shape || !shown(s)) continue;
    const RECT r = windowRect(s);
    const POINT p{x, y};
    if (!PtInRect(&r, p) || order_.at(key) < best) continue;
    best = order_.at(key);
    hit = {s.ref, static_cast<float>(x - r.left), static_cast<float>(y - r.top)};
  }
  return hit;
}

void WinControlView::paint(HDC dc) const {
  std::map<int, const ControlState*> byOrder;
  for (const auto& [key, s] : states_) byOrder[order_.at(key)] = &s;
  for (const auto& [n, s] : byOrder)
    if (s->kind != Kind::TextBox && shown(*s)) paintOne(dc, *s);
}

// Back colour, a one-pixel border, the caption; lines as lines.
void WinControlView::paintOne(HDC dc, const ControlState& s) const {
  const RECT r = windowRect(s);
  if (s.kind == Kind::Line) {
    HPEN pen = CreatePen(PS_SOLID, 1, colorOf(s.borderColor));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, r.left, r.top, nullptr);
    ControlState endPoint = s;
    endPoint.left = s.x2;
    endPoint.top = s.y2;
    const RECT end = windowRect(endPoint);
    LineTo(dc, end.left, end.top);
    SelectObject(dc, old);
    DeleteObject(pen);
    return;
  }
  if (s.hasBack) {
    HBRUSH brush = CreateSolidBrush(colorOf(s.backColor));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  }
  if (s.borderStyle == 1 || s.kind == Kind::Shape) {
    HBRUSH brush = CreateSolidBrush(colorOf(s.kind == Kind::Shape ? s.borderColor : s.foreColor));
    FrameRect(dc, &r, brush);
    DeleteObject(brush);
  }
  if (!s.caption.empty()) {
    const std::wstring caption = widen(s.caption);
    HGDIOBJ old = SelectObject(dc, text_.font(s.fontSize > 0 ? s.fontSize : 9));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colorOf(s.foreColor));
    RECT box = r;
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &box, DT_LEFT | DT_TOP | DT_NOPREFIX);
    SelectObject(dc, old);
  }
}

}  // namespace tolvane::platform::win32
