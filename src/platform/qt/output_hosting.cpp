#include "platform/qt/output_hosting.h"

#include <algorithm>

#include "platform/output_areas.h"
#include "platform/qt/control_view.h"

namespace tolvane::platform::qt {

namespace {
IRect deviceArea(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

QRect againstCorner(const QRect& logical, const IRect& output, double scale) {
  return logical.translated(-static_cast<int>(output.left / scale), -static_cast<int>(output.top / scale));
}
}  // namespace

QRect hostOnOutput(const std::vector<CaptureWindow*>& windows, QWidget* w, const QRect& device, const QRect& logical,
                   double scale, bool visible) {
  std::vector<IRect> areas;
  for (const CaptureWindow* o : windows) areas.push_back(o->outputArea());
  CaptureWindow* host = windows[outputHolding(areas, deviceArea(device))];
  if (w->parentWidget() != host) {
    w->setParent(host);
    w->setVisible(visible);
  }
  return againstCorner(logical, host->outputArea(), scale);
}

void OutputCopies::place(const std::vector<CaptureWindow*>& windows, const QWidget* host, EventRelay& relay,
                         const ControlState& s, const QRect& device, const QRect& logical, double scale, int order) {
  std::vector<Copy>& copies = copies_[{s.ref.ctl, s.ref.index}];
  copies.resize(windows.size());
  const IRect area = deviceArea(device);
  for (std::size_t i = 0; i < windows.size(); ++i) {
    CaptureWindow* window = windows[i];
    Copy& c = copies[i];
    c.reaches = window != host && !area.intersected(window->outputArea()).empty();
    if (!c.widget && !c.reaches) continue;
    if (!c.widget) {
      c.widget = new ControlWidget(relay, s, window);
      c.widget->setAttribute(Qt::WA_TransparentForMouseEvents);
      c.widget->setObjectName(QString::fromStdString(s.name));
      c.order = order;
      restack(window);
    }
    c.widget->setGeometry(againstCorner(logical, window->outputArea(), scale));
    c.widget->setVisible(s.visible && c.reaches);
  }
}

void OutputCopies::update(const ControlState& s) {
  const auto it = copies_.find({s.ref.ctl, s.ref.index});
  if (it == copies_.end()) return;
  for (const Copy& c : it->second) {
    if (!c.widget) continue;
    c.widget->setState(s);
    c.widget->setVisible(s.visible && c.reaches);
  }
}

// The copies lie under the window's own controls (the toolbar among them),
// and among themselves in the design's order: lowering the front one first
// leaves the last one at the back.
void OutputCopies::restack(const QWidget* window) const {
  std::vector<const Copy*> here;
  for (const auto& [ref, copies] : copies_)
    for (const Copy& c : copies)
      if (c.widget && c.widget->parentWidget() == window) here.push_back(&c);
  std::sort(here.begin(), here.end(), [](const Copy* a, const Copy* b) { return a->order < b->order; });
  for (const Copy* c : here) c->widget->lower();
}

}  // namespace tolvane::platform::qt
