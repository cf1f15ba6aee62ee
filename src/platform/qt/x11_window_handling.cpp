// The capture window's dealings with the X server: the keyboard grab,
// staying above other clients' windows and under our dialogs, dialogs
// centred on the region's monitor, and pointer positions in device pixels.
//
// The window is override-redirect, so the window manager no longer gives it
// the keyboard: Qt sets the focus itself for such windows, and the keyboard
// is grabbed, retried while another client still holds it. The pointer is
// not grabbed: the window covers the screen, so every click lands on it
// anyway, and Qt's own pop-ups and dialogs need to take the pointer themselves.
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/qt/capture_window.h"
#include "platform/qt/qt_x11.h"
#include "platform/qt/window_handling.h"
#include "platform/qt/x11_windows.h"

namespace tolvane::platform::qt {

namespace {

// Moves a window to the middle of a monitor as it is about to be shown: its
// widget has laid itself out by then, and the window manager takes the
// place with the window's first map.
class CentreOnShow : public QObject {
 public:
  CentreOnShow(QScreen* screen, QObject* parent) : QObject(parent), screen_(screen) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    auto* w = qobject_cast<QWindow*>(watched);
    if (w && e->type() == QEvent::Show && screen_) {
      const QRect g = screen_->geometry();
      const QSize size = w->frameGeometry().size();
      w->setScreen(screen_);
      w->setFramePosition(QPoint(g.x() + std::max(0, (g.width() - size.width()) / 2),
                                 g.y() + std::max(0, (g.height() - size.height()) / 2)));
    }
    return QObject::eventFilter(watched, e);
  }

 private:
  QPointer<QScreen> screen_;
};

class X11WindowHandling : public QObject, public WindowHandling, private QAbstractNativeEventFilter {
 public:
  explicit X11WindowHandling(CaptureWindow& window) : window_(window) {}
  ~X11WindowHandling() override {
    if (watchingStack_ && QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
    ungrabKeyboard();
  }

  void created() override { keepComposited(window_); }
  void presented() override {
    scale_ = window_.scale();
    wantKeyboardGrab_ = true;
  }
  void shown() override { watchTheStack(); }
  void firstFrameOut() override { tryKeyboardGrab(kGrabAttempts); }
  void hiding() override {
    wantKeyboardGrab_ = false;
    ungrabKeyboard();
  }
  // A round trip: the unmap request has been sent and carried out, so that
  // work after it happens out of sight.
  void hidden() override {
    if (xcb_connection_t* c = x11Connection()) free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  }

  std::optional<QPointF> leftButtonUpAt() const override;
  std::optional<QPointF> exactPosition(std::uint64_t timestamp, QPointF logical, double scale) const override;

  // While a dialog runs the keyboard grab must not hold its keys.
  void dialogOpens() override {
    dialogOpen_ = true;
    underDialogRestacks_ = 0;
    ungrabKeyboard();
  }
  void dialogEnded() override {
    dialogOpen_ = false;
    if (wantKeyboardGrab_ && window_.isVisible()) tryKeyboardGrab(1);
    stayOnTop();
  }
  void placeDialog(QWidget& dialog) override {
    // Under such a compositor the dialog bypasses the window manager too,
    // like the capture window: it is drawn above it, and Qt gives it the
    // keyboard itself.
    if (compositedDesktop()) dialog.setWindowFlag(Qt::BypassWindowManagerHint);
    dialog.winId();  // its window, to be watched
    if (QWindow* w = dialog.windowHandle()) w->installEventFilter(new CentreOnShow(window_.dialogScreen(), &dialog));
  }

 private:
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;
  void watchTheStack();
  void notePointer(const xcb_generic_event_t* e);
  void tryKeyboardGrab(int attemptsLeft);
  void ungrabKeyboard();
  // Puts the window back above any other client's ordinary window that
  // covers part of it (a panel that raises itself); while a dialog of ours
  // runs, just under the dialog's frame instead (x11_windows.h).
  void stayOnTop() {
    if (!window_.isVisible()) return;
    xcb_connection_t* c = x11Connection();
    if (!c) return;
    const auto self = static_cast<xcb_window_t>(window_.winId());
    if (dialogOpen_) {
      const QWidget* dialog = QApplication::activeModalWidget();
      if (dialog && dialog != &window_ && dialog->isVisible() && underDialogRestacks_ < kMaxRestacks &&
          stayUnderDialog(c, self, static_cast<xcb_window_t>(dialog->winId()), underDialogRestacks_ + 1))
        ++underDialogRestacks_;
      return;
    }
    if (restacks_ < kMaxRestacks && stayAboveOthers(c, self)) ++restacks_;
  }

  // Keyboard grabs tried 50 ms apart while another client (a hot-key daemon,
  // a window manager busy with the last focus change) still holds it.
  static constexpr int kGrabAttempts = 40;
  // A window manager that raises its panel on every restack of ours would
  // otherwise start a tug of war.
  static constexpr int kMaxRestacks = 20;

  CaptureWindow& window_;
  // Pointer events as X reported them, newest last, at a scale other than 1.
  struct PointerAt {
    std::uint32_t time = 0;
    double x = 0, y = 0;  // root position, device pixels
  };
  std::array<PointerAt, 32> recent_{};
  std::size_t recentNext_ = 0;
  int xiOpcode_ = -1;
  double scale_ = 1.0;
  bool keyboardGrabbed_ = false;
  bool wantKeyboardGrab_ = false;
  bool watchingStack_ = false;
  bool stackCheckPending_ = false;
  std::uint32_t root_ = 0;
  bool dialogOpen_ = false;
  int restacks_ = 0;
  int underDialogRestacks_ = 0;
};

std::optional<QPointF> X11WindowHandling::leftButtonUpAt() const {
  xcb_connection_t* c = x11Connection();
  if (!c) return std::nullopt;
  // X answers in device pixels.
  auto* r = xcb_query_pointer_reply(c, xcb_query_pointer(c, static_cast<xcb_window_t>(window_.winId())), nullptr);
  std::optional<QPointF> up;
  if (r && !(r->mask & XCB_BUTTON_MASK_1)) up = QPointF(r->win_x, r->win_y) / window_.scale();
  free(r);
  return up;
}

void X11WindowHandling::watchTheStack() {
  xcb_connection_t* c = x11Connection();
  if (!c || watchingStack_) return;
  // Told when a window of the root is restacked or shown, to put this one
  // back on top. The root's other events Qt asked for stay selected.
  root_ = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  constexpr char kXInput[] = "XInputExtension";
  if (auto* q = xcb_query_extension_reply(c, xcb_query_extension(c, sizeof kXInput - 1, kXInput), nullptr)) {
    if (q->present) xiOpcode_ = q->major_opcode;
    free(q);
  }
  if (auto* a = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, root_), nullptr)) {
    const std::uint32_t mask = a->your_event_mask | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root_, XCB_CW_EVENT_MASK, &mask);
    free(a);
    QCoreApplication::instance()->installNativeEventFilter(this);
    watchingStack_ = true;
  }
}

std::optional<QPointF> X11WindowHandling::exactPosition(std::uint64_t timestamp, QPointF logical,
                                                        double scale) const {
  // Qt rounds positions to whole logical pixels; X's own position of the
  // same event (same server time, same logical pixel) keeps the device one.
  const QRect screen = window_.screenRect();
  for (std::size_t i = 0; i < recent_.size(); ++i) {
    const PointerAt& at = recent_[(recentNext_ + recent_.size() - 1 - i) % recent_.size()];
    if (at.time == 0 || at.time != timestamp) continue;
    const double x = at.x - screen.left(), y = at.y - screen.top();
    if (std::abs(x / scale - logical.x()) <= 0.51 && std::abs(y / scale - logical.y()) <= 0.51) return QPointF(x, y);
  }
  return std::nullopt;
}

void X11WindowHandling::notePointer(const xcb_generic_event_t* e) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(e);
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

bool X11WindowHandling::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
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

void X11WindowHandling::tryKeyboardGrab(int attemptsLeft) {
  if (keyboardGrabbed_ || !wantKeyboardGrab_ || !window_.isVisible()) return;
  xcb_connection_t* c = x11Connection();
  if (!c) return;
  // owner_events: keys still reach whichever of our windows has the focus
  // (the text box, a dialog); the grab only keeps them from going elsewhere.
  const auto cookie = xcb_grab_keyboard(c, 1, static_cast<xcb_window_t>(window_.winId()), XCB_CURRENT_TIME,
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

void X11WindowHandling::ungrabKeyboard() {
  if (!keyboardGrabbed_) return;
  keyboardGrabbed_ = false;
  if (xcb_connection_t* c = x11Connection()) {
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_flush(c);
  }
}

}  // namespace

std::unique_ptr<WindowHandling> x11WindowHandling(CaptureWindow& window) {
  return std::make_unique<X11WindowHandling>(window);
}

}  // namespace tolvane::platform::qt
