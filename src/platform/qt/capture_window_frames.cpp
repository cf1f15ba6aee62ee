// Frames of a capture window whose window system keeps what it showed in
// the window's own buffers (Wayland): a frame is committed when the
// compositor is ready for one, and a frame asked for again is not painted
// whole again.
#include <QCoreApplication>
#include <QExposeEvent>
#include <QWindow>

#include "platform/qt/capture_window.h"

namespace tolvane::platform::qt {

// Qt repaints all a window exposes; on Wayland every configure of the
// window (full screen, activated) exposes all of it, each a full paint at
// 4K (about 40 ms) into a new screen-sized buffer. Qt's next buffer starts as
// a copy of the last, so one pixel painted commits the same frame.
bool CaptureWindow::keptExpose() {
  if (!buffersHoldAll() || forwardingExpose_ || !windowHandle() || !windowHandle()->isExposed()) return false;
  // Painted, not only flushed: the configure the expose answers takes
  // effect with the next commit, which a flush of an unchanged store does
  // not make.
  update(0, 0, 1, 1);
  forwardingExpose_ = true;
  QExposeEvent onePixel(QRegion(0, 0, 1, 1));
  QCoreApplication::sendEvent(windowHandle(), &onePixel);
  forwardingExpose_ = false;
  return true;
}

// The window's own buffers hold all of it as last painted, at its size.
bool CaptureWindow::buffersHoldAll() const {
  return handling_->keepsContents() && !paintedWhole_.isEmpty() && paintedWhole_ == size() * devicePixelRatio();
}

// A frame committed: all of the window painted, or one pixel where its
// buffers keep the rest.
void CaptureWindow::requestFrame() {
  if (buffersHoldAll())
    update(0, 0, 1, 1);
  else
    update();
}

// Shown again, on Wayland, the window is a new surface: painted whole.
void CaptureWindow::hideEvent(QHideEvent* e) {
  paintedWhole_ = QSize();
  QWidget::hideEvent(e);
}

// Where the window's frames go to the compositor in buffers of its own
// (Wayland), a frame is drawn only after the compositor has taken the last
// one: Qt's widgets otherwise commit a frame for every change, and each one
// drawn while the compositor still holds the others takes a new
// screen-sized buffer (up to five, 160 MiB at 4K, during a drag).
bool CaptureWindow::framePaced() const {
  return handling_->keepsContents() && keyFilterInstalled_ && !pacedPaint_ && windowHandle();
}

// The compositor's frame callback (or no frame pending): what changed is
// painted and committed. Qt would repaint the whole window here.
bool CaptureWindow::pacedFrame() {
  if (!handling_->keepsContents()) return false;
  pacedPaint_ = true;
  QEvent sync(QEvent::UpdateRequest);
  QCoreApplication::sendEvent(this, &sync);
  pacedPaint_ = false;
  return true;
}

}  // namespace tolvane::platform::qt
