// The capture window's own dealings with the X server: the keyboard grab,
// staying above other clients' windows, and pointer positions in device pixels.
#include <QMouseEvent>
#include <QTimer>

#include <xcb/xcb.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/qt/capture_window.h"

namespace tolvane::platform::qt {

void CaptureWindow::suspendKeyboardGrab() {
  dialogOpen_ = true;
  ungrabKeyboard();
}

void CaptureWindow::resumeKeyboardGrab() {
  dialogOpen_ = false;
  if (wantKeyboardGrab_ && isVisible()) tryKeyboardGrab(1);
  stayOnTop();
}

bool CaptureWindow::stayOnTop() {
  // A dialog of ours lies in a frame of the window manager's: it must stay above.
  if (dialogOpen_ || !isVisible() || restacks_ >= kMaxRestacks) return false;
  xcb_connection_t* c = x11Connection();
  if (!c) return false;
  const auto self = static_cast<xcb_window_t>(winId());
  const xcb_setup_t* setup = xcb_get_setup(c);
  const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
  auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
  if (!tree) return false;
  const xcb_window_t* kids = xcb_query_tree_children(tree);
  const int n = xcb_query_tree_children_length(tree);
  int at = n;
  for (int i = 0; i < n; ++i)
    if (kids[i] == self) at = i;
  // Above us, bottom to top: the topmost shown window of another client.
  std::vector<xcb_get_window_attributes_cookie_t> cookies;
  for (int i = at + 1; i < n; ++i) cookies.push_back(xcb_get_window_attributes(c, kids[i]));
  xcb_window_t cover = XCB_NONE;
  for (int i = at + 1; i < n; ++i) {
    auto* a = xcb_get_window_attributes_reply(c, cookies[static_cast<std::size_t>(i - at - 1)], nullptr);
    const bool ours = (kids[i] & ~setup->resource_id_mask) == setup->resource_id_base;
    if (a && a->map_state == XCB_MAP_STATE_VIEWABLE && !ours) cover = kids[i];
    free(a);
  }
  free(tree);
  if (cover == XCB_NONE) return false;
  ++restacks_;
  const std::uint32_t values[] = {cover, XCB_STACK_MODE_ABOVE};
  xcb_configure_window(c, self, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
  xcb_flush(c);
  return true;
}

Mouse CaptureWindow::inDevicePixels(const QMouseEvent& e, Mouse m) const {
  if (scale_ == 1.0) return m;
  // Qt rounds positions to whole logical pixels; X's own position of the
  // same event (same server time, same logical pixel) keeps the device one.
  const QPointF logical = e.position();
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
