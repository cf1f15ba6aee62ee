// The capture window's own dealings with the X server: the keyboard grab,
// staying above other clients' windows and under our dialogs, the monitor
// dialogs open on, and pointer positions in device pixels.
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/qt/capture_window.h"

namespace tolvane::platform::qt {

void CaptureWindow::suspendKeyboardGrab() {
  dialogOpen_ = true;
  underDialogRestacks_ = 0;
  ungrabKeyboard();
}

void CaptureWindow::resumeKeyboardGrab() {
  dialogOpen_ = false;
  if (wantKeyboardGrab_ && isVisible()) tryKeyboardGrab(1);
  stayOnTop();
}

namespace {

// The root's children, bottom to top.
std::vector<xcb_window_t> stackOfRoot(xcb_connection_t* c, xcb_window_t root) {
  std::vector<xcb_window_t> out;
  auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
  if (!tree) return out;
  const xcb_window_t* kids = xcb_query_tree_children(tree);
  out.assign(kids, kids + xcb_query_tree_children_length(tree));
  free(tree);
  return out;
}

// The child of the root that holds `w`: the window manager's frame around
// it, or `w` itself when nothing manages it.
xcb_window_t topLevelOf(xcb_connection_t* c, xcb_window_t w) {
  for (int depth = 0; depth < 16; ++depth) {
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr);
    if (!tree) return XCB_NONE;
    const xcb_window_t parent = tree->parent, root = tree->root;
    free(tree);
    if (parent == root || parent == XCB_NONE) return w;
    w = parent;
  }
  return XCB_NONE;
}

void restack(xcb_connection_t* c, xcb_window_t self, xcb_window_t sibling, std::uint32_t mode) {
  const std::uint32_t values[] = {sibling, mode};
  xcb_configure_window(c, self, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
  xcb_flush(c);
}

}  // namespace

bool CaptureWindow::stayOnTop() {
  if (!isVisible()) return false;
  xcb_connection_t* c = x11Connection();
  if (!c) return false;
  const auto self = static_cast<xcb_window_t>(winId());
  if (dialogOpen_) return stayUnderDialog(c, self);
  if (restacks_ >= kMaxRestacks) return false;
  const xcb_setup_t* setup = xcb_get_setup(c);
  const std::vector<xcb_window_t> kids = stackOfRoot(c, xcb_setup_roots_iterator(setup).data->root);
  const auto at = std::find(kids.begin(), kids.end(), self);
  if (at == kids.end()) return false;
  // Above us, bottom to top: the topmost shown ordinary window of another client.
  std::vector<xcb_get_window_attributes_cookie_t> cookies;
  for (auto it = at + 1; it != kids.end(); ++it) cookies.push_back(xcb_get_window_attributes(c, *it));
  xcb_window_t cover = XCB_NONE;
  for (std::size_t i = 0; i < cookies.size(); ++i) {
    auto* a = xcb_get_window_attributes_reply(c, cookies[i], nullptr);
    const xcb_window_t w = *(at + 1 + static_cast<std::ptrdiff_t>(i));
    const bool ours = (w & ~setup->resource_id_mask) == setup->resource_id_base;
    if (a && a->map_state == XCB_MAP_STATE_VIEWABLE && !a->override_redirect && !ours) cover = w;
    free(a);
  }
  if (cover == XCB_NONE) return false;
  ++restacks_;
  restack(c, self, cover, XCB_STACK_MODE_ABOVE);
  return true;
}

bool CaptureWindow::stayUnderDialog(xcb_connection_t* c, std::uint32_t self) {
  const QWidget* dialog = QApplication::activeModalWidget();
  if (!dialog || dialog == this || !dialog->isVisible() || underDialogRestacks_ >= kMaxRestacks) return false;
  const xcb_window_t frame = topLevelOf(c, static_cast<xcb_window_t>(dialog->winId()));
  const std::vector<xcb_window_t> kids = stackOfRoot(c, xcb_setup_roots_iterator(xcb_get_setup(c)).data->root);
  const auto at = std::find(kids.begin(), kids.end(), self);
  const auto frameAt = std::find(kids.begin(), kids.end(), frame);
  if (at == kids.end() || frameAt == kids.end() || frameAt > at) return false;
  auto* a = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, frame), nullptr);
  const bool shown = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
  free(a);
  if (!shown) return false;
  // Some window managers (mutter) keep every frame under override-redirect
  // windows and put it back there: then the window goes under all of them.
  if (++underDialogRestacks_ > 1) {
    const std::uint32_t bottom = XCB_STACK_MODE_BELOW;
    xcb_configure_window(c, self, XCB_CONFIG_WINDOW_STACK_MODE, &bottom);
    xcb_flush(c);
    return true;
  }
  restack(c, self, frame, XCB_STACK_MODE_BELOW);
  return true;
}

bool CaptureWindow::compositedDesktop() const {
  xcb_connection_t* c = x11Connection();
  if (!c) return false;
  // A compositing manager owns _NET_WM_CM_S<screen>; any screen of the display counts.
  const int screens = xcb_setup_roots_length(xcb_get_setup(c));
  bool owned = false;
  for (int i = 0; i < screens && !owned; ++i) {
    const std::string name = "_NET_WM_CM_S" + std::to_string(i);
    auto* atom = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 1, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr);
    const xcb_atom_t selection = atom ? atom->atom : XCB_NONE;
    free(atom);
    if (selection == XCB_NONE) continue;
    auto* owner = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    owned = owner && owner->owner != XCB_NONE;
    free(owner);
  }
  return owned;
}

void CaptureWindow::keepComposited() {
  xcb_connection_t* c = x11Connection();
  if (!c) return;
  constexpr char kName[] = "_NET_WM_BYPASS_COMPOSITOR";
  auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof kName - 1, kName), nullptr);
  if (!atom) return;
  const std::uint32_t keep = 2;  // the compositor is asked not to be bypassed
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(winId()), atom->atom, XCB_ATOM_CARDINAL,
                      32, 1, &keep);
  free(atom);
}

QScreen* CaptureWindow::dialogScreen() const {
  const IRect area = dialogArea ? dialogArea() : IRect{};
  // Qt keeps a monitor's origin in device pixels and scales its size.
  const auto deviceRect = [](const QScreen* s) {
    const QRect g = s->geometry();
    return IRect{g.x(), g.y(), g.x() + static_cast<int>(g.width() * s->devicePixelRatio()),
                 g.y() + static_cast<int>(g.height() * s->devicePixelRatio())};
  };
  QScreen* best = nullptr;
  long bestOverlap = 0;
  for (QScreen* s : QGuiApplication::screens()) {
    const IRect both = deviceRect(s).intersected(area);
    const long overlap = static_cast<long>(both.width()) * both.height();
    if (overlap > bestOverlap) {
      best = s;
      bestOverlap = overlap;
    }
  }
  if (best) return best;
  if (QScreen* s = QGuiApplication::screenAt(QCursor::pos())) return s;
  return QGuiApplication::primaryScreen();
}

Mouse CaptureWindow::inDevicePixels(const QMouseEvent& e, Mouse m) const {
  if (scale_ == 1.0) return m;
  // Qt rounds positions to whole logical pixels; X's own position of the
  // same event (same server time, same logical pixel) keeps the device one.
  const QPointF logical(m.x, m.y);
  for (std::size_t i = 0; i < recent_.size(); ++i) {
    const PointerAt& at = recent_[(recentNext_ + recent_.size() - 1 - i) % recent_.size()];
    if (at.time == 0 || at.time != e.timestamp()) continue;
    const double x = at.x - screenRect_.left(), y = at.y - screenRect_.top();
    if (std::abs(x / scale_ - logical.x()) <= 0.51 && std::abs(y / scale_ - logical.y()) <= 0.51) {
      m.x = static_cast<float>(x);
      m.y = static_cast<float>(y);
      return m;
    }
  }
  m.x = static_cast<float>(logical.x() * scale_);
  m.y = static_cast<float>(logical.y() * scale_);
  return m;
}

void CaptureWindow::notePointer(const void* xcbEvent) {
  const auto* e = static_cast<const xcb_generic_event_t*>(xcbEvent);
  const auto* bytes = static_cast<const std::uint8_t*>(xcbEvent);
  const int kind = e->response_type & 0x7f;
  PointerAt at;
  if (kind == XCB_BUTTON_PRESS || kind == XCB_BUTTON_RELEASE || kind == XCB_MOTION_NOTIFY) {
    // The three core events share their layout.
    const auto* b = reinterpret_cast<const xcb_button_press_event_t*>(e);
    at = {b->time, static_cast<double>(b->root_x), static_cast<double>(b->root_y)};
  } else if (kind == XCB_GE_GENERIC && xiOpcode_ > 0 && bytes[1] == xiOpcode_) {
    // XInput 2 device events (press 4, release 5, motion 6) as libxcb hands
    // them over: event type at byte 8, time at 12, then, after the 4 bytes
    // libxcb inserts at 32, the root position in 16.16 fixed point at 36 and 40.
    std::uint16_t type = 0;
    std::memcpy(&type, bytes + 8, 2);
    if (type < 4 || type > 6) return;
    std::uint32_t time = 0;
    std::int32_t rx = 0, ry = 0;
    std::memcpy(&time, bytes + 12, 4);
    std::memcpy(&rx, bytes + 36, 4);
    std::memcpy(&ry, bytes + 40, 4);
    at = {time, rx / 65536.0, ry / 65536.0};
  } else {
    return;
  }
  recent_[recentNext_] = at;
  recentNext_ = (recentNext_ + 1) % recent_.size();
}

bool CaptureWindow::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
  if (type != "xcb_generic_event_t" || !watchingStack_) return false;
  const auto* e = static_cast<const xcb_generic_event_t*>(message);
  if (scale_ != 1.0) notePointer(e);
  // A window of the root restacked or shown: look again once the batch is in.
  const int kind = e->response_type & 0x7f;
  // Our own window too: a window manager may restack it below its panel.
  xcb_window_t parent = XCB_NONE;
  if (kind == XCB_CONFIGURE_NOTIFY)
    parent = reinterpret_cast<const xcb_configure_notify_event_t*>(e)->event;
  else if (kind == XCB_MAP_NOTIFY)
    parent = reinterpret_cast<const xcb_map_notify_event_t*>(e)->event;
  else if (kind == XCB_REPARENT_NOTIFY)  // a dialog of ours put into its frame
    parent = reinterpret_cast<const xcb_reparent_notify_event_t*>(e)->event;
  if (parent == root_ && parent != XCB_NONE && !stackCheckPending_) {
    stackCheckPending_ = true;
    QTimer::singleShot(0, this, [this] {
      stackCheckPending_ = false;
      stayOnTop();
    });
  }
  return false;
}

void CaptureWindow::tryKeyboardGrab(int attemptsLeft) {
  if (keyboardGrabbed_ || !wantKeyboardGrab_ || !isVisible()) return;
  xcb_connection_t* c = x11Connection();
  if (!c) return;
  // owner_events: keys still reach whichever of our windows has the focus
  // (the text box, a dialog); the grab only keeps them from going elsewhere.
  const auto cookie = xcb_grab_keyboard(c, 1, static_cast<xcb_window_t>(winId()), XCB_CURRENT_TIME,
                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
  xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(c, cookie, nullptr);
  const bool ok = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
  free(reply);
  if (ok) {
    keyboardGrabbed_ = true;
    return;
  }
  // Whoever started us (a hot-key daemon) may still hold the keyboard briefly.
  if (attemptsLeft > 1) QTimer::singleShot(50, this, [this, attemptsLeft] { tryKeyboardGrab(attemptsLeft - 1); });
}

void CaptureWindow::ungrabKeyboard() {
  if (!keyboardGrabbed_) return;
  keyboardGrabbed_ = false;
  if (xcb_connection_t* c = x11Connection()) {
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_flush(c);
  }
}

}  // namespace tolvane::platform::qt
