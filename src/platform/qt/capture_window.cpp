#include "platform/qt/capture_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include "platform/qt/control_view.h"
#include "platform/output_areas.h"
#include "platform/qt/scaling.h"
#include "platform/qt/window_pixels_x11.h"

#include <algorithm>
#include <tuple>

namespace tolvane::platform::qt {

xcb_connection_t* x11Connection() {
  auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return app ? app->connection() : nullptr;
}

namespace {
constexpr CtlRef kWindow{Ctl::Window, -1};
}  // namespace

// The window is override-redirect: no window manager places, frames, resizes
// or restacks it, so it lies over the whole root window, every monitor, on top
// of panels, exactly like the start-up window. Asking a window manager for
// full screen instead (_NET_WM_STATE_FULLSCREEN, _NET_WM_FULLSCREEN_MONITORS)
// leaves the result to it: Openbox fits such a window to one monitor, IceWM
// to another, and some ignore the monitor list. The price of bypassing the
// window manager is that it no longer gives us the keyboard: we set the focus
// ourselves (Qt does for such windows) and grab the keyboard, retrying while
// another client still holds it. The pointer is not grabbed: the window covers
// the screen, so every click lands on it anyway, and Qt's own pop-ups and
// dialogs need to take the pointer themselves.
CaptureWindow::CaptureWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAutoFillBackground(false);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setWindowTitle(QStringLiteral("Tolvane"));
  // Qt repaints the whole window when it becomes active or inactive if it
  // looks different either way: it does not.
  QPalette same = palette();
  for (int role = 0; role < QPalette::NColorRoles; ++role) {
    const auto r = static_cast<QPalette::ColorRole>(role);
    same.setBrush(QPalette::Inactive, r, same.brush(QPalette::Active, r));
  }
  setPalette(same);
}

bool CaptureWindow::event(QEvent* e) {
  if (e->type() == QEvent::UpdateLater && directUpdate()) return true;
  if (e->type() == QEvent::LanguageChange && direct_) {
    // As Qt does, without repainting the whole window: only controls show text.
    changeEvent(e);
    for (QObject* child : children()) QCoreApplication::sendEvent(child, e);
    return true;
  }
  return QWidget::event(e);
}

CaptureWindow::~CaptureWindow() {
  if (watchingStack_ && QCoreApplication::instance())
    QCoreApplication::instance()->removeNativeEventFilter(this);
  ungrabKeyboard();
}

void CaptureWindow::setSurface(RasterSurface* surface) {
  surface_ = surface;
  relay_.setSurface(surface);
}

double CaptureWindow::scale() const {
  if (const QWindow* w = windowHandle()) return w->devicePixelRatio();
  return qApp ? qApp->devicePixelRatio() : 1.0;
}

void CaptureWindow::present() {
  if (screenRect_.isEmpty() && surface_) screenRect_ = QRect(0, 0, surface_->width(), surface_->height());
  if (QGuiApplication::platformName() == QLatin1String("wayland")) {
    presentFullScreen();
    return;
  }
  // Qt keeps each monitor's origin in device pixels and scales only its
  // size, so logical coordinates are only consistent on one monitor: the one
  // at the root's origin. The window belongs to that one and spans the others
  // from there. Qt picks a monitor from the logical geometry (at 1.5 the one
  // on the right), so the monitor is set after it, and again if Qt moves it.
  QScreen* home = nullptr;
  for (QScreen* s : QGuiApplication::screens())
    if (s->geometry().topLeft() == screenRect_.topLeft()) home = s;
  create();
  keepComposited();
  scale_ = scale();
  setGeometry(logicalCover({screenRect_.left(), screenRect_.top(), screenRect_.left() + screenRect_.width(),
                            screenRect_.top() + screenRect_.height()},
                           scale_));
  startDirectPainting();
  if (home && windowHandle()) {
    windowHandle()->setScreen(home);
    if (!keptOnHome_)
      connect(windowHandle(), &QWindow::screenChanged, this, [this, home](QScreen* now) {
        if (now != home && QGuiApplication::screens().contains(home)) windowHandle()->setScreen(home);
      });
    keptOnHome_ = true;
  }
  // Showing marks the whole window for Qt to repaint from its backing
  // store; painted directly, the window leaves it the controls alone.
  setAttribute(Qt::WA_UpdatesDisabled, direct_ != nullptr);
  show();
  setAttribute(Qt::WA_UpdatesDisabled, false);
  raise();
  activateWindow();
  setFocus(Qt::ActiveWindowFocusReason);
  wantKeyboardGrab_ = true;
}

void CaptureWindow::setOutput(QScreen* output, const IRect& area) {
  output_ = output;
  outputArea_ = area;
}

// Wayland places no window where a client asks: a full-screen window covers
// one whole output, the one set by setOutput(), else the output nearest the
// desktop's top-left corner (the topmost, of those the leftmost). The
// compositor gives the keyboard focus to a new window as it does to any.
void CaptureWindow::presentFullScreen() {
  setWindowFlag(Qt::BypassWindowManagerHint, false);
  QScreen* home = output_;
  if (!home)
    for (QScreen* s : QGuiApplication::screens()) {
      const QPoint at = s->geometry().topLeft();
      if (!home || at.y() < home->geometry().top() ||
          (at.y() == home->geometry().top() && at.x() < home->geometry().left()))
        home = s;
    }
  create();
  if (home && windowHandle()) {
    windowHandle()->setScreen(home);
    setGeometry(home->geometry());
  }
  showFullScreen();
  onOutput_ = true;
  scale_ = scale();
  activateWindow();
  setFocus(Qt::ActiveWindowFocusReason);
}

void CaptureWindow::dismiss() {
  wantKeyboardGrab_ = false;
  ungrabKeyboard();
  const bool shown = isVisible();
  hide();
  // A round trip: the unmap request has been sent and carried out.
  if (xcb_connection_t* c = x11Connection(); c && shown)
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

void CaptureWindow::continueDrag() {
  // Qt hands moves with a button held, and releases, only to the widget that
  // saw the press, or to a mouse grabber.
  grabMouse();
  carriedDrag_ = true;
  // The button may have come up before the grab. X answers in device pixels.
  if (xcb_connection_t* c = x11Connection()) {
    auto* r = xcb_query_pointer_reply(c, xcb_query_pointer(c, static_cast<xcb_window_t>(winId())), nullptr);
    if (r && !(r->mask & XCB_BUTTON_MASK_1)) endCarriedDrag(QPointF(r->win_x, r->win_y) / scale());
    free(r);
  }
}

void CaptureWindow::endCarriedDrag(const QPointF& at) {
  carriedDrag_ = false;
  releaseMouse();
  Mouse m;
  m.button = kLeft;
  m.x = static_cast<float>(at.x() * scale_);
  m.y = static_cast<float>(at.y() * scale_);
  m = inPicture(m);
  relay_.pointer().release(kWindow, m);
}

Mouse CaptureWindow::inPicture(Mouse m) const {
  std::tie(m.x, m.y) = toPicture(m.x, m.y, outputArea_);
  return m;
}

Mouse CaptureWindow::inPicture(const QMouseEvent& e, QPointF onWindow, Mouse m) const {
  m.x = static_cast<float>(onWindow.x());
  m.y = static_cast<float>(onWindow.y());
  return inPicture(inDevicePixels(e, m));
}

void CaptureWindow::invalidate(const IRect& area) {
  if (area.empty()) return;
  if (direct_) {
    queueDirect(area);
    return;
  }
  const QRect r = logicalCover(area, scale());
  pending_ += r;
  update(r);
}

void CaptureWindow::flush() {
  paintDirect();
  if (pending_.isEmpty()) return;
  const QRegion r = pending_;
  pending_ = QRegion();
  repaint(r);
}

void CaptureWindow::paintEvent(QPaintEvent* e) {
  pending_ -= e->region();
  QPainter p(this);
  // The canvas is in device pixels and shown 1:1: each strip is a picture
  // of the screen's pixel density, placed at its logical position.
  const double s = scale();
  // The compositor tells the output's scale once the window is on it.
  if (onOutput_) scale_ = s;
  // The canvas in this window's pixels: on Wayland the window shows its
  // output's part of the picture.
  const int dx = outputArea_.left, dy = outputArea_.top;
  IRect bounds = surface_ ? surface_->rect() : IRect{};
  bounds = {bounds.left - dx, bounds.top - dy, bounds.right - dx, bounds.bottom - dy};
  for (const QRect& r : e->region()) {
    const IRect area = deviceCover(r, s);
    // Strips keep the temporary small on a large screen.
    for (int y = area.top; y < area.bottom; y += kStripRows) {
      const IRect strip{area.left, y, area.right, std::min(y + kStripRows, area.bottom)};
      const IRect inside = strip.intersected(bounds);
      const QRectF stripAt(strip.left / s, strip.top / s, strip.width() / s, strip.height() / s);
      if (inside.empty()) {
        p.fillRect(stripAt, Qt::black);
        continue;
      }
      if (inside != strip) p.fillRect(stripAt, Qt::black);
      const Image pixels =
          surface_->compose({inside.left + dx, inside.top + dy, inside.right + dx, inside.bottom + dy});
      QImage img(reinterpret_cast<const uchar*>(pixels.constBits()), pixels.width(), pixels.height(),
                 pixels.width() * 4, QImage::Format_RGB32);
      if (s == 1.0) {
        p.drawImage(inside.left, inside.top, img);
      } else {
        img.setDevicePixelRatio(s);
        p.drawImage(QPointF(inside.left / s, inside.top / s), img);
      }
    }
  }
  firstFrameShown();
}

void CaptureWindow::firstFrameShown() {
  if (firstPaintDone_) return;
  firstPaintDone_ = true;
  // The next turn of the event loop: the first frame has gone to the screen.
  QTimer::singleShot(0, this, [this] {
    if (onFirstPaint) onFirstPaint();  // lets a start-up window and its keyboard grab go first
    tryKeyboardGrab(kGrabAttempts);
  });
}

void CaptureWindow::mousePressEvent(QMouseEvent* e) {
  relay_.pointer().press(kWindow, inPicture(inDevicePixels(*e, mouseFrom(*e, true))));
}

void CaptureWindow::mouseReleaseEvent(QMouseEvent* e) {
  if (carriedDrag_ && e->button() == Qt::LeftButton) {
    endCarriedDrag(e->position());
    return;
  }
  relay_.pointer().release(kWindow, inPicture(inDevicePixels(*e, mouseFrom(*e, true))));
}

void CaptureWindow::mouseMoveEvent(QMouseEvent* e) {
  // A release missed while the pointer changed hands.
  if (carriedDrag_ && !(e->buttons() & Qt::LeftButton)) endCarriedDrag(e->position());
  relay_.pointer().move(kWindow, inPicture(inDevicePixels(*e, mouseFrom(*e, false))));
}

void CaptureWindow::mouseDoubleClickEvent(QMouseEvent* e) {
  // Qt delivers the second press of a double click here instead of as a
  // press; the router makes it the double click (left button) or a press.
  relay_.pointer().doubleClick(kWindow, inPicture(inDevicePixels(*e, mouseFrom(*e, true))));
}

void CaptureWindow::closeEvent(QCloseEvent* e) {
  e->ignore();
  if (onCloseRequested) onCloseRequested();
}

void CaptureWindow::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (!keyFilterInstalled_ && windowHandle()) {
    // Every key for this window passes its QWindow first, whichever child
    // widget has the focus.
    windowHandle()->installEventFilter(this);
    keyFilterInstalled_ = true;
  }
  if (xcb_connection_t* c = x11Connection(); c && !watchingStack_) {
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
}

bool CaptureWindow::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::Expose && watched == windowHandle() && directExpose()) return true;
  if (e->type() == QEvent::KeyPress && watched == windowHandle()) {
    const auto* k = static_cast<QKeyEvent*>(e);
    const Key key = keyFrom(k->key(), k->modifiers());
    // The logic decides by the focus whether the key is the text box's.
    CtlRef focus = kWindow;
    if (const auto* box = dynamic_cast<const TextBoxWidget*>(QApplication::focusWidget())) focus = box->state().ref;
    bool used = false;
    relay_.send([&](EventSink& s) { used = s.keyDown(focus, key); });
    // A used key goes no further: Ctrl+Z must not also undo in a text box.
    if (used) return true;
  }
  return QWidget::eventFilter(watched, e);
}

}  // namespace tolvane::platform::qt
