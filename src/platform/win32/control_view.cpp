#include "platform/win32/control_view.h"

#include <algorithm>
#include <cmath>

#include "layout/controls.h"
#include "platform/control_rules.h"
#include "platform/win32/combo_box.h"
#include "platform/win32/pictures.h"
#include "platform/win32/text_engine.h"
#include "platform/win32/tool_tips.h"
#include "platform/win32/wide.h"

namespace tolvane::platform::win32 {

namespace {

constexpr UINT kEditKey = WM_APP + 1;  // an EDIT child asks the window about a key

COLORREF colorOf(Argb a) { return RGB((a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF); }

// System colours as every view shows them, not as this system's theme has them.
COLORREF colorOf(ColorRef c) { return colorOf(shownColor(c)); }

void fill(HDC dc, const RECT& r, Argb color) {
  HBRUSH brush = CreateSolidBrush(colorOf(color));
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

// From `from` to `to`, both ends drawn (LineTo leaves the last one out).
void line(HDC dc, POINT from, POINT to, Argb color) {
  HPEN pen = CreatePen(PS_SOLID, 1, colorOf(color));
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, from.x, from.y, nullptr);
  LineTo(dc, to.x, to.y);
  SetPixelV(dc, to.x, to.y, colorOf(color));
  SelectObject(dc, old);
  DeleteObject(pen);
}

// Keys in a text box go to the capture window first, which asks the logic.
LRESULT CALLBACK editProc(HWND edit, UINT msg, WPARAM w, LPARAM l) {
  const auto old = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(edit, GWLP_USERDATA));
  if (msg == WM_KEYDOWN && SendMessageW(GetParent(edit), kEditKey, w, reinterpret_cast<LPARAM>(edit))) return 0;
  if (msg == WM_CHAR && (w == VK_ESCAPE || w == VK_RETURN)) return 0;  // no beep
  return CallWindowProcW(old, edit, msg, w, l);
}

// A box that grows as text is typed into it had scrolled its text left to
// keep the caret in view; once it is wide enough, its text shows from the
// start again. The selection and caret stay where they were.
void scrollToStart(HWND edit) {
  DWORD from = 0, to = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  SendMessageW(edit, EM_SETSEL, 0, 0);
  SendMessageW(edit, EM_SCROLLCARET, 0, 0);
  SendMessageW(edit, EM_SETSEL, from, to);
  SendMessageW(edit, EM_SCROLLCARET, 0, 0);
}

// Pictures are drawn at the scale the controls are laid out at: one device
// pixel per pixel, as this view does not scale the layout for high-DPI
// monitors yet; a larger picture would be cut off by its control.
constexpr double kPictureScale = 1.0;

}  // namespace

WinControlView::WinControlView(HWND window, const GdiTextEngine& text,
                               std::function<void(std::function<void(EventSink&)>)> send)
    : window_(window), text_(text), send_(std::move(send)), tips_(std::make_unique<WinToolTips>(window)) {}

WinControlView::~WinControlView() {
  combos_.clear();
  for (const auto& [points, font] : fonts_) DeleteObject(font);
}

// Child windows keep their font handle, so each size gets its own, made
// once: the text engine's font changes with every size it measures.
HFONT WinControlView::childFont(float points) {
  HFONT& font = fonts_[points];
  if (!font) {
    const int pixels = static_cast<int>(std::lround(points * 96.0 / 72.0));
    font = CreateFontW(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
  }
  return font;
}

void WinControlView::attach(const layout::Controls& controls) {
  std::map<Key, int> order;
  for (const auto& c : controls.all()) order[keyOf(c.ref())] = static_cast<int>(order.size());
  for (const auto& [key, n] : order_)  // met before, though not designed: behind the designed ones
    if (!order.count(key)) order[key] = static_cast<int>(controls.all().size()) + n;
  order_ = std::move(order);
  for (const auto& c : controls.all()) changed(c.state(), Prop::Visible);
}

RECT WinControlView::windowRect(const ControlState& s) const {
  const IRect r = placeInContainer(s);
  int x = 0, y = 0;
  for (CtlRef p = s.parent; p.ctl != Ctl::Window;) {
    const auto it = states_.find(keyOf(p));
    if (it == states_.end()) break;
    const IRect in = placeInContainer(it->second);
    x += in.left;
    y += in.top;
    p = it->second.parent;
  }
  return {r.left + x, r.top + y, r.right + x, r.bottom + y};
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
  mirrorTip(state);
  if (state.kind == Kind::TextBox) {
    mirrorEdit(state);
    // A new colour shows at once: the box asks for its colours as it paints.
    if (prop == Prop::ForeColor) InvalidateRect(edits_.at(key), nullptr, TRUE);
    return;
  }
  if (state.kind == Kind::ComboBox) {
    mirrorCombo(state);
    return;
  }
  InvalidateRect(window_, &before, FALSE);
  if (shown(state)) {
    RECT after = windowRect(state);
    InflateRect(&after, 1, 1);
    InvalidateRect(window_, &after, FALSE);
  }
  if (prop == Prop::Geometry || prop == Prop::Visible) followParent(state.ref);
}

// The child windows inside a control that moved, showed or hid go with it.
void WinControlView::followParent(CtlRef moved) {
  const auto inside = [&](const ControlState& s) {
    for (CtlRef p = s.parent; p.ctl != Ctl::Window;) {
      if (p == moved) return true;
      const auto it = states_.find(keyOf(p));
      if (it == states_.end()) return false;
      p = it->second.parent;
    }
    return false;
  };
  for (const auto& [key, edit] : edits_)
    if (inside(states_.at(key))) mirrorEdit(states_.at(key));
  for (const auto& [key, combo] : combos_)
    if (inside(states_.at(key))) mirrorCombo(states_.at(key));
  for (const auto& [key, s] : states_)
    if (inside(s)) mirrorTip(s);
}

// Each control keeps one tool, known by its kind and index.
void WinControlView::mirrorTip(const ControlState& s) {
  if (s.tooltip.empty()) return;
  const auto id = static_cast<UINT_PTR>(s.ref.ctl) * 1024 + static_cast<UINT_PTR>(s.ref.index + 1);
  tips_->set(id, s.tooltip, windowRect(s), shown(s));
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
  RECT was{};
  GetClientRect(edit, &was);
  MoveWindow(edit, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  if (was.right != r.right - r.left) scrollToStart(edit);
  HFONT font = childFont(controlPoints(s));
  if (reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)) != font)
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
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

HBRUSH WinControlView::editColors(HWND edit, HDC dc) const {
  for (const auto& [key, h] : edits_) {
    if (h != edit) continue;
    SetTextColor(dc, colorOf(states_.at(key).foreColor));
    SetBkColor(dc, colorOf(kTextBoxBack));
    static_assert(kTextBoxBack == 0xFFFFFFFFu, "the stock white brush paints the box's back");
    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  }
  return nullptr;
}

void WinControlView::mirrorCombo(const ControlState& s) {
  const Key key = keyOf(s.ref);
  auto& combo = combos_[key];
  if (!combo) combo = std::make_unique<WinComboBox>(window_, 1000 + order_[key]);
  combo->mirror(s, windowRect(s), shown(s), childFont(controlPoints(s)));
}

bool WinControlView::comboDropped(CtlRef ref) const {
  const auto it = combos_.find(keyOf(ref));
  return it != combos_.end() && it->second->dropped();
}

void WinControlView::showComboDropDown(CtlRef ref, bool show) {
  const auto it = combos_.find(keyOf(ref));
  if (it == combos_.end()) return;
  // Placed again first: its parents may have moved since it last changed.
  mirrorCombo(states_.at(it->first));
  it->second->showDropDown(show);
}

void WinControlView::command(int code, HWND from) {
  if (code == EN_CHANGE) {
    editChanged(from);
    return;
  }
  for (const auto& [key, combo] : combos_) {
    if (combo->handle() != from) continue;
    const std::optional<std::string> chosen = combo->notified(code);
    if (!chosen) return;
    // The logic takes the text without echoing it back: keep it here too,
    // or the list would go back to the old item when it next opens.
    states_.at(key).text = *chosen;
    sendItemChosen(send_, states_.at(key).ref, *chosen);
    return;
  }
}

bool WinControlView::comboKey(WPARAM vk) {
  for (const auto& [key, combo] : combos_)
    if (combo->key(vk)) return true;
  return false;
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

std::vector<const ControlState*> WinControlView::childrenOf(CtlRef parent) const {
  std::vector<const ControlState*> out;
  for (const auto& [key, s] : states_)
    if (s.parent == parent && s.ref != parent) out.push_back(&s);
  std::sort(out.begin(), out.end(), [this](const ControlState* a, const ControlState* b) {
    return liesInFront({a->kind, order_.at(keyOf(a->ref))}, {b->kind, order_.at(keyOf(b->ref))});
  });
  return out;
}

// Each control is seen only within its parent, as child windows are.
bool WinControlView::hitChildren(CtlRef parent, const RECT& clip, POINT p, Hit& hit) const {
  for (const ControlState* s : childrenOf(parent)) {
    // Text boxes and combo boxes are child windows, which take their own presses.
    if (s->kind == Kind::TextBox || s->kind == Kind::ComboBox || !takesMouse(s->kind) || !s->visible) continue;
    const RECT r = windowRect(*s);
    RECT seen{};
    if (!IntersectRect(&seen, &r, &clip) || !PtInRect(&seen, p)) continue;
    if (hitChildren(s->ref, seen, p, hit)) return true;
    hit = {s->ref, static_cast<float>(p.x - r.left), static_cast<float>(p.y - r.top)};
    return true;
  }
  return false;
}

Hit WinControlView::hitTest(int x, int y) const {
  Hit hit{{}, static_cast<float>(x), static_cast<float>(y)};
  constexpr LONG kFar = 1 << 28;
  hitChildren(CtlRef{}, RECT{-kFar, -kFar, kFar, kFar}, POINT{x, y}, hit);
  return hit;
}

void WinControlView::paintChildren(HDC dc, CtlRef parent, const RECT& clip) const {
  const auto children = childrenOf(parent);
  for (auto it = children.rbegin(); it != children.rend(); ++it) {  // back to front
    const ControlState& s = **it;
    if (!s.visible || s.kind == Kind::TextBox || s.kind == Kind::ComboBox) continue;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    paintOne(dc, s);
    RestoreDC(dc, saved);
    RECT inner{};
    const RECT r = windowRect(s);
    if (s.kind != Kind::Line && IntersectRect(&inner, &r, &clip)) paintChildren(dc, s.ref, inner);
  }
}

void WinControlView::paint(HDC dc) const {
  RECT all{};
  GetClipBox(dc, &all);
  paintChildren(dc, CtlRef{}, all);
}

void WinControlView::paintOne(HDC dc, const ControlState& s) const {
  const RECT r = windowRect(s);
  for (const PaintStep& step : paintSteps(s, placeInContainer(s))) {
    const RECT box{r.left + step.box.left, r.top + step.box.top, r.left + step.box.right, r.top + step.box.bottom};
    switch (step.op) {
      case PaintStep::Op::Fill: fill(dc, box, step.color); break;
      case PaintStep::Op::Line:
        line(dc, {r.left + step.from.x, r.top + step.from.y}, {r.left + step.to.x, r.top + step.to.y}, step.color);
        break;
      case PaintStep::Op::Picture: {
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, box.left, box.top, box.right, box.bottom);
        drawPicture(dc, s.picture, box.left, box.top, kPictureScale);
        RestoreDC(dc, saved);
        break;
      }
      case PaintStep::Op::Caption: paintCaption(dc, s, box, step.color); break;
    }
  }
}

void WinControlView::paintCaption(HDC dc, const ControlState& s, RECT box, Argb color) const {
  const std::wstring caption = widen(s.caption);
  HGDIOBJ old = SelectObject(dc, text_.font(controlPoints(s)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colorOf(color));
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &box, DT_LEFT | DT_TOP | DT_NOPREFIX);
  SelectObject(dc, old);
}

}  // namespace tolvane::platform::win32
