// The capture window's picture put straight into its window, where the window
// system offers a way (X11). Qt's backing store for a full-screen window is a
// second screen-sized buffer (32 MiB at 3840x2160) that the X server reads on
// every flush; here Qt paints only where
// its controls lie (with the picture beneath them), and everything else is
// composed from the canvas in strips and sent to the window directly.
#include <QBackingStore>
#include <QCoreApplication>
#include <QExposeEvent>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <utility>

#include "platform/qt/capture_window.h"
#include "platform/qt/scaling.h"

namespace tolvane::platform::qt {

void CaptureWindow::startDirectPainting() {
  if (direct_ || !(direct_ = handling_->directPixels())) return;
  // Sized now, the store is not repainted whole at the first paint: Qt then
  // paints only what is exposed or changed, which here is the controls.
  if (QBackingStore* store = backingStore()) store->resize(size());
}

// Qt asks for the whole window's repaint when it shows it (and for a part
// of it, which we do not, when it is updated while being painted): the
// controls are Qt's, the rest is put here.
bool CaptureWindow::directUpdate() {
  if (!direct_) return false;
  // Until the window is on the screen its expose paints it all.
  if (windowHandle() && windowHandle()->isExposed()) queueDirect({0, 0, screenRect_.width(), screenRect_.height()});
  return true;
}

// Shown at the next flush, or once the events in hand are handled.
void CaptureWindow::queueDirect(const IRect& area) {
  directPending_.push_back(area);
  if (!directPaintPosted_) QTimer::singleShot(0, this, [this] { paintDirect(); });
  directPaintPosted_ = true;
}

// Qt answers an expose by repainting and flushing the whole area from its
// backing store. It gets the controls' part; the picture goes straight to
// the window (all of it: an expose here is the map or a dialog going away).
bool CaptureWindow::directExpose() {
  if (!direct_ || forwardingExpose_ || !windowHandle() || !windowHandle()->isExposed()) return false;
  forwardingExpose_ = true;
  QExposeEvent controls(childrenRegion());
  QCoreApplication::sendEvent(windowHandle(), &controls);
  forwardingExpose_ = false;
  directPending_.push_back({0, 0, screenRect_.width(), screenRect_.height()});
  paintDirect();
  firstFrameShown();
  return true;
}

void CaptureWindow::paintDirect() {
  directPaintPosted_ = false;
  // A hidden window is painted whole by its next expose, as Qt skips
  // updates of hidden widgets.
  if (!isVisible()) directPending_.clear();
  if (directPending_.empty()) return;
  const double s = scale();
  const QRegion controls = childrenRegion();
  QRegion viaQt;
  for (const IRect& area : std::exchange(directPending_, {})) {
    const QRegion under = QRegion(logicalCover(area, s)) & controls;
    viaQt += under;
    QRegion rest(QRect(area.left, area.top, area.width(), area.height()));
    for (const QRect& r : under) {
      const IRect dev = deviceCover(r, s);
      rest -= QRect(dev.left, dev.top, dev.width(), dev.height());
    }
    for (const QRect& r : rest) putArea({r.left(), r.top(), r.right() + 1, r.bottom() + 1});
  }
  direct_->flush();
  if (!viaQt.isEmpty()) repaint(viaQt);
}

// `area` in this window's device pixels, in strips of kStripRows rows; what
// lies outside the canvas is black.
void CaptureWindow::putArea(const IRect& area) {
  const IRect bounds = surface_ ? surface_->rect() : IRect{};
  for (int y = area.top; y < area.bottom; y += kStripRows) {
    const IRect strip{area.left, y, area.right, std::min(y + kStripRows, area.bottom)};
    const IRect inside = strip.intersected(bounds);
    if (inside == strip) {
      direct_->put(surface_->compose(strip), strip.left, strip.top);
      continue;
    }
    Image out(strip.width(), strip.height());
    if (!inside.empty()) out.blit(inside.left - strip.left, inside.top - strip.top, surface_->compose(inside), 0, 0,
                                  inside.width(), inside.height());
    direct_->put(out, strip.left, strip.top);
  }
}

}  // namespace tolvane::platform::qt
