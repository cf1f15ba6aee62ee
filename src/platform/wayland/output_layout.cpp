#include "platform/wayland/output_layout.h"

#include <algorithm>
#include <climits>

namespace tolvane::platform::wayland {

namespace {

// Copies `from` into `to` at `area`, by the nearest pixel when the sizes differ.
void placeScaled(Image& to, const IRect& area, const Image& from) {
  if (area.width() == from.width() && area.height() == from.height()) {
    to.blit(area.left, area.top, from, 0, 0, from.width(), from.height());
    return;
  }
  const IRect inside = area.intersected(to.rect());
  for (int y = inside.top; y < inside.bottom; ++y) {
    const long sy = static_cast<long>(y - area.top) * from.height() / area.height();
    const Argb* src = from.constScanLine(static_cast<int>(sy));
    Argb* dst = to.scanLine(y);
    for (int x = inside.left; x < inside.right; ++x)
      dst[x] = src[static_cast<long>(x - area.left) * from.width() / area.width()];
  }
}

}  // namespace

std::vector<OutputPlace> placeOutputs(const std::vector<OutputShot>& shots) {
  std::vector<OutputExtent> outputs;
  for (const OutputShot& o : shots) outputs.push_back({o.x, o.y, o.scale, o.pixels.width(), o.pixels.height()});
  return placeOutputs(outputs);
}

std::vector<OutputPlace> placeOutputs(const std::vector<OutputExtent>& outputs) {
  int s = 1;
  for (const OutputExtent& o : outputs) s = std::max(s, o.scale);
  std::vector<OutputPlace> places;
  int left = INT_MAX, top = INT_MAX;
  for (const OutputExtent& o : outputs) {
    const int own = std::max(o.scale, 1);
    const int w = o.width * s / own, h = o.height * s / own;
    places.push_back({{o.x * s, o.y * s, o.x * s + w, o.y * s + h}, own});
    left = std::min(left, o.x * s);
    top = std::min(top, o.y * s);
  }
  for (OutputPlace& p : places) p.area = {p.area.left - left, p.area.top - top, p.area.right - left, p.area.bottom - top};
  return places;
}

std::size_t topLeftOutput(const std::vector<OutputPlace>& places) {
  std::size_t best = 0;
  for (std::size_t i = 1; i < places.size(); ++i) {
    const IRect &a = places[i].area, &b = places[best].area;
    if (a.top < b.top || (a.top == b.top && a.left < b.left)) best = i;
  }
  return best;
}

Image combineOutputs(const std::vector<OutputShot>& shots) {
  const std::vector<OutputPlace> places = placeOutputs(shots);
  IRect all;
  for (const OutputPlace& p : places) all = all.united(p.area);
  if (all.empty()) return {};
  Image desktop(all.right, all.bottom);
  for (std::size_t i = 0; i < shots.size(); ++i) placeScaled(desktop, places[i].area, shots[i].pixels);
  return desktop;
}

}  // namespace tolvane::platform::wayland
