#include "platform/qt/capture_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "platform/qt/control_view.h"
#include "platform/output_areas.h"
#include "platform/qt/scaling.h"

#include <algorithm>
#include <tuple>

namespace tolvane::platform::qt {

namespace {
constexpr CtlRef kWindow{Ctl::Window, -1};
}  // namespace

// The window is override-redirect: no window manager places, frames, resizes
// or restacks it, so it lies over the whole root window, every monitor, on top
// of panels, exactly like the start-up window. Asking a window manager for
// full screen instead (_NET_WM_STATE_FULLSCREEN, _NET_WM_FULLSCREEN_MONITORS)
// leaves the result to it: Openbox fits such a window to one monitor, IceWM
// to another, and some ignore the monitor list. The price of bypassing the
// window manager is that it no longer gives us the keyboard: the X11
// handling takes it (x11_window_handling.cpp).
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
  if (e->type() == QEvent::UpdateRequest && framePaced()) {
    // Painted once the compositor is ready for the next frame (eventFilter).
    windowHandle()->requestUpdate();
    return true;
  }
  if (e->type() == QEvent::LanguageChange) {
    // As Qt does, without repainting the whole window: only controls show text.
    changeEvent(e);
    for (QObject* child : children()) QCoreApplication::sendEvent(child, e);
    return true;
  }
  return QWidget::event(e);
}

// The handling goes first: it lets the keyboard go while the window still exists.
CaptureWindow::~CaptureWindow() { handling_.reset(); }

void CaptureWindow::attach(std::unique_ptr<WindowHandling> handling) {
  if (handling) handling_ = std::move(handling);
}

void CaptureWindow::setSurface(picture::RasterSurface* surface) {
  surface_ = surface;
  relay_.setSurface(surface);
}

double CaptureWindow::scale() const {
  if (const QWindow* w = windowHandle()) return w->devicePixelRatio();
  return qApp ? qApp->devicePixelRatio() : 1.0;
}

void CaptureWindow::present() {
  if (screenRect_.isEmpty() && surface_) screenRect_ = QRect(0, 0, surface_->width(), surface_->height());
  // What was drawn before the window shows is shown whole by its first
  // frame; told as damage later, it would be painted whole a second time
  // (at 4K, 40 ms and on Wayland one more screen-sized buffer).
  if (surface_) surface_->settleDamage();
  pending_ = QRegion();
  if (handling_->placesWindowsItself())
    presentFullScreen();
  else
    coverScreenRect();
  handling_->presented();
}

void CaptureWindow::coverScreenRect() {
  // Qt keeps each monitor's origin in device pixels and scales only its
  // size, so logical coordinates are only consistent on one monitor: the one
  // at the root's origin. The window belongs to that one and spans the others
  // from there. Qt picks a monitor from the logical geometry (at 1.5 the one
  // on the right), so the monitor is set after it, and again if Qt moves it.
  QScreen* home = nullptr;
  for (QScreen* s : QGuiApplication::screens())
    if (s->geometry().topLeft() == screenRect_.topLeft()) home = s;
  create();
  handling_->created();
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
}

void CaptureWindow::setOutput(QScreen* output, const IRect& area) {
  output_ = output;
  outputArea_ = area;
}

// A window system that places windows (Wayland) puts none where a client
// asks: a full-screen window covers one whole output, the one set by
// setOutput(), else the output nearest the desktop's top-left corner (the
// topmost, of those the leftmost). The compositor gives the keyboard focus
// to a new window as it does to any.
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
  if (windowHandle() && !fullScreenWatched_) {
    fullScreenWatched_ = true;
    // A frame at once when the compositor makes the window full screen, or
    // after its time has passed.
    connect(windowHandle(), &QWindow::windowStateChanged, this, [this] {
      if (!firstPaintDone_) requestFrame();
    });
    fullScreenWait_.setSingleShot(true);
    fullScreenWait_.setInterval(kFullScreenPatienceMs);
    connect(&fullScreenWait_, &QTimer::timeout, this, [this] {
      fullScreenWaited_ = true;
      if (!firstPaintDone_) requestFrame();
    });
  }
  showFullScreen();
  onOutput_ = true;
  scale_ = scale();
  activateWindow();
  setFocus(Qt::ActiveWindowFocusReason);
}

void CaptureWindow::dismiss() {
  handling_->hiding();
  const bool shown = isVisible();
  hide();
  if (shown) handling_->hidden();
}

void CaptureWindow::continueDrag() {
  // Qt hands moves with a button held, and releases, only to the widget that
  // saw the press, or to a mouse grabber.
  grabMouse();
  carriedDrag_ = true;
  // The button may have come up before the grab.
  if (const auto up = handling_->leftButtonUpAt()) endCarriedDrag(*up);
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
  // Qt rounds positions to whole logical pixels; the window system may know better.
  const QPointF logical(m.x, m.y);
  const QPointF device = handling_->exactPosition(e.timestamp(), logical, scale_).value_or(logical * scale_);
  m.x = static_cast<float>(device.x());
  m.y = static_cast<float>(device.y());
  return m;
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
  if (pending_.isEmpty() || framePaced()) return;
  const QRegion r = pending_;
  pending_ = QRegion();
  repaint(r);
}

void CaptureWindow::paintEvent(QPaintEvent* e) {
  pending_ -= e->region();
  const QSize device = size() * devicePixelRatio();
  if ((QRegion(rect()) - e->region()).isEmpty()) paintedWhole_ = device;
  else if (paintedWhole_ != device) paintedWhole_ = QSize();
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
      Image pixels = surface_->compose({inside.left + dx, inside.top + dy, inside.right + dx, inside.bottom + dy});
      addShapes(pixels, inside);
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

// The first frame the window system shows starts the hand-over from the
// start-up window, once.
void CaptureWindow::firstFrameShown() {
  if (firstPaintDone_) return;
  if (!shownAsAsked()) {
    if (!fullScreenWait_.isActive()) fullScreenWait_.start();
    return;
  }
  firstPaintDone_ = true;
  fullScreenWait_.stop();
  // The next turn of the event loop: the first frame has gone to the screen.
  QTimer::singleShot(0, this, [this] {
    if (onFirstPaint) onFirstPaint();  // lets a start-up window and its keyboard grab go first
    handling_->firstFrameOut();
  });
}

// On Wayland a frame drawn before the compositor made the window full screen
// is not shown yet (sway shows the window once it has answered that
// configure): the start-up surfaces stay until a frame drawn full screen, or
// until the compositor has had its time.
bool CaptureWindow::shownAsAsked() const {
  const QWindow* w = windowHandle();
  return !onOutput_ || fullScreenWaited_ || (w && (w->windowStates() & Qt::WindowFullScreen));
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
  handling_->shown();
}

bool CaptureWindow::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::UpdateRequest && watched == windowHandle() && pacedFrame()) return true;
  if (e->type() == QEvent::Expose && watched == windowHandle() && (directExpose() || keptExpose())) return true;
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
