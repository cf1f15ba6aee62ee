#include "platform/qt/scaling.h"

#include <algorithm>
#include <cmath>

#include "platform/control_rules.h"

namespace tolvane::platform::qt {

QRect logicalCover(const IRect& device, double scale) {
  if (scale == 1.0) return QRect(device.left, device.top, device.width(), device.height());
  const int l = static_cast<int>(std::floor(device.left / scale)), t = static_cast<int>(std::floor(device.top / scale));
  const int r = static_cast<int>(std::ceil(device.right / scale)), b = static_cast<int>(std::ceil(device.bottom / scale));
  return QRect(l, t, r - l, b - t);
}

IRect deviceCover(const QRect& logical, double scale) {
  const int right = logical.x() + logical.width(), bottom = logical.y() + logical.height();
  if (scale == 1.0) return {logical.x(), logical.y(), right, bottom};
  return {static_cast<int>(std::floor(logical.x() * scale)), static_cast<int>(std::floor(logical.y() * scale)),
          static_cast<int>(std::ceil(right * scale)), static_cast<int>(std::ceil(bottom * scale))};
}

namespace {

// The designed size at a logical top-left, moved inside the screen.
QRect sized(double left, double top, const ControlState& s, const QSize& screen) {
  const int w = std::max(0, roundEven(s.width)), h = std::max(0, roundEven(s.height));
  int l = static_cast<int>(std::lround(left)), t = static_cast<int>(std::lround(top));
  l = std::max(0, std::min(l, screen.width() - w));
  t = std::max(0, std::min(t, screen.height() - h));
  return QRect(l, t, w, h);
}

QRectF barPlace(const ControlState& bar, const ControlState& frame, double scale) {
  // Against the frame's bottom-right corner, where the logic puts it.
  const double right = static_cast<double>(frame.left) + frame.width;
  const double bottom = static_cast<double>(frame.top) + frame.height;
  return QRectF(right / scale + (bar.left - right), bottom / scale + (bar.top - bottom), bar.width, bar.height);
}

}  // namespace

QRect presentedRect(const ControlState& s, const ControlState& frame, const ControlState& bar, double scale,
                    const QSize& screen) {
  if (scale == 1.0) return logicalCover(placeInContainer(s), 1.0);
  switch (s.ref.ctl) {
    case Ctl::SelectionFrame:
    case Ctl::NoteField: return logicalCover(placeInContainer(s), scale);
    case Ctl::Handle: {
      const double cx = s.left + s.width / 2.0, cy = s.top + s.height / 2.0;
      return sized(cx / scale - s.width / 2.0, cy / scale - s.height / 2.0, s, screen);
    }
    case Ctl::SizeLabel:
    case Ctl::ColorLabel:
      return sized(frame.left / scale + (s.left - frame.left), frame.top / scale + (s.top - frame.top), s, screen);
    case Ctl::Toolbar: {
      const QRectF r = barPlace(s, frame, scale);
      return sized(r.left(), r.top(), s, screen);
    }
    case Ctl::StylePanel: {
      const QRect b = sized(barPlace(bar, frame, scale).left(), barPlace(bar, frame, scale).top(), bar, screen);
      return sized(b.left() + (s.left - bar.left), b.top() + (s.top - bar.top), s, screen);
    }
    default:
      return sized(s.left / scale, s.top / scale, s, screen);
  }
}

}  // namespace tolvane::platform::qt
