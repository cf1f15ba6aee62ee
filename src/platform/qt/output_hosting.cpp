#include "platform/qt/output_hosting.h"

#include "platform/output_areas.h"

namespace tolvane::platform::qt {

QRect hostOnOutput(const std::vector<CaptureWindow*>& windows, QWidget* w, const QRect& device, const QRect& logical,
                   double scale, bool visible) {
  std::vector<IRect> areas;
  for (const CaptureWindow* o : windows) areas.push_back(o->outputArea());
  const IRect r{device.left(), device.top(), device.left() + device.width(), device.top() + device.height()};
  CaptureWindow* host = windows[outputHolding(areas, r)];
  if (w->parentWidget() != host) {
    w->setParent(host);
    w->setVisible(visible);
  }
  const IRect a = host->outputArea();
  return logical.translated(-static_cast<int>(a.left / scale), -static_cast<int>(a.top / scale));
}

}  // namespace tolvane::platform::qt
