// The capture window's picture put straight into its window, where the window
// system offers a way (X11). Qt's backing store for a full-screen window is a
// second screen-sized buffer (32 MiB at 3840x2160) that the X server reads on
// every flush; here Qt paints only where
// its controls lie (with the picture beneath them), and everything else is
// composed from the canvas in strips and sent to the window directly.
#include <QBackingStore>
#include <QPainter>
#include <QCoreApplication>
#include <QExposeEvent>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/qt/capture_window.h"
#include "platform/qt/scaling.h"

namespace tolvane::platform::qt {

void CaptureWindow::startDirectPainting() {
  if (direct_ || !(direct_ = handling_->directPixels())) return;
  // Sized now, the store is not repainted whole at the first paint: Qt then
  // paints only what is exposed or changed, which here is the controls.
  if (QBackingStore* store = backingStore()) store->resize(size());
  for (const DrawnShape& shape : shapes_)
    if (shape.widget) shape.widget->hide();
}

void CaptureWindow::showShape(QWidget* widget, const ControlState& s, const StackPlace& place) {
  auto it = std::find_if(shapes_.begin(), shapes_.end(), [widget](const DrawnShape& d) { return d.widget == widget; });
  if (it == shapes_.end()) {
    shapes_.push_back({widget, s, place});
    std::stable_sort(shapes_.begin(), shapes_.end(),
                     [](const DrawnShape& a, const DrawnShape& b) { return liesInFront(b.place, a.place); });
  } else {
    const ControlState& was = it->state;
    // A change it does not show (a caption, a tooltip) paints nothing.
    const bool same = was.visible == s.visible && was.borderColor == s.borderColor &&
                      placeInContainer(was) == placeInContainer(s);
    if (same) {
      it->state = s;
      return;
    }
    queueShape(*it);  // where it was
    it->state = s;
  }
  widget->setVisible(s.visible && !direct_);
  for (const DrawnShape& d : shapes_)
    if (d.widget == widget) queueShape(d);
}

// Its lines only: what they enclose is the canvas's, repainted as it changes.
void CaptureWindow::queueShape(const DrawnShape& shape) {
  if (!direct_ || !shape.state.visible) return;
  for (const IRect& line : deviceBorder(shape.state, scale())) queueDirect(line);
}

void CaptureWindow::addShapes(Image& pixels, const IRect& at) const {
  if (!direct_) return;
  const double s = scale();
  for (const DrawnShape& shape : shapes_) {
    if (!shape.state.visible) continue;
    const Argb color = shownColor(shape.state.borderColor);
    for (const IRect& line : deviceBorder(shape.state, s)) {
      const IRect in = line.intersected(at);
      if (!in.empty()) pixels.fill({in.left - at.left, in.top - at.top, in.right - at.left, in.bottom - at.top}, color);
    }
  }
}

void CaptureWindow::paintShapesOver(QPainter& p, const QWidget& child, const StackPlace& place) const {
  if (!direct_) return;
  const double s = scale();
  const QPoint at = child.mapTo(this, QPoint(0, 0));
  p.save();
  // In device pixels, from the window's corner, as the shapes are placed.
  p.scale(1 / s, 1 / s);
  p.translate(-std::floor(at.x() * s), -std::floor(at.y() * s));
  for (const DrawnShape& shape : shapes_) {
    if (!shape.state.visible || !liesInFront(shape.place, place)) continue;
    const QColor color = QColor::fromRgb(shownColor(shape.state.borderColor));
    for (const IRect& line : deviceBorder(shape.state, s))
      p.fillRect(QRect(line.left, line.top, line.width(), line.height()), color);
  }
  p.restore();
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
  // The same area again (a shape's lines told twice) is painted once.
  if (std::find(directPending_.begin(), directPending_.end(), area) == directPending_.end())
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
  // A window not yet (or no longer) on the screen is painted whole by its
  // next expose, as Qt skips updates of hidden widgets.
  if (!isVisible() || !windowHandle() || !windowHandle()->isExposed()) directPending_.clear();
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
    Image out;
    if (inside == strip) {
      out = surface_->compose(strip);
    } else {
      out = Image(strip.width(), strip.height());
      if (!inside.empty()) out.blit(inside.left - strip.left, inside.top - strip.top, surface_->compose(inside), 0, 0,
                                    inside.width(), inside.height());
    }
    addShapes(out, strip);
    direct_->put(out, strip.left, strip.top);
  }
}

}  // namespace tolvane::platform::qt
