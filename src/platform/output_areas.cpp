#include "platform/output_areas.h"

#include <algorithm>
#include <climits>

namespace tolvane::platform {

std::vector<IRect> outputAreas(const std::vector<LogicalOutput>& outputs) {
  int s = 1;
  for (const LogicalOutput& o : outputs) s = std::max(s, o.scale);
  int left = INT_MAX, top = INT_MAX;
  for (const LogicalOutput& o : outputs) {
    left = std::min(left, o.x * s);
    top = std::min(top, o.y * s);
  }
  std::vector<IRect> areas;
  for (const LogicalOutput& o : outputs) {
    const int x = o.x * s - left, y = o.y * s - top;
    areas.push_back({x, y, x + o.width * s, y + o.height * s});
  }
  return areas;
}

IRect onOutput(const IRect& area, const IRect& output) {
  const IRect inside = area.intersected(output);
  if (inside.empty()) return {};
  return {inside.left - output.left, inside.top - output.top, inside.right - output.left, inside.bottom - output.top};
}

std::size_t outputHolding(const std::vector<IRect>& outputs, const IRect& r) {
  const int cx = r.left + r.width() / 2, cy = r.top + r.height() / 2;
  for (std::size_t i = 0; i < outputs.size(); ++i)
    if (outputs[i].contains(cx, cy)) return i;
  std::size_t best = 0;
  long most = 0;
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const IRect overlap = r.intersected(outputs[i]);
    const long size = static_cast<long>(overlap.width()) * overlap.height();
    if (size > most) {
      most = size;
      best = i;
    }
  }
  return best;
}

void OutputPresenters::invalidate(const IRect& area) {
  for (const auto& [presenter, output] : outputs_)
    if (const IRect local = onOutput(area, output); !local.empty()) presenter->invalidate(local);
}

void OutputPresenters::flush() {
  for (const auto& [presenter, output] : outputs_) presenter->flush();
}

}  // namespace tolvane::platform
