#include "app/start_region.h"

namespace tolvane::app {

IRect applyStartRegion(platform::EventSink& sink, const IRect& region, int screenWidth, int screenHeight) {
  const IRect r = region.intersected(IRect{0, 0, screenWidth, screenHeight});
  if (r.empty()) return {};
  constexpr platform::CtlRef kWindow{platform::Ctl::Window, -1};
  const auto at = [](int x, int y) {
    platform::Mouse m;
    m.button = platform::kLeft;
    m.x = static_cast<float>(x);
    m.y = static_cast<float>(y);
    return m;
  };
  sink.mouseDown(kWindow, at(r.left, r.top));
  sink.mouseMove(kWindow, at(r.right, r.bottom));
  sink.mouseUp(kWindow, at(r.right, r.bottom));
  return r;
}

}  // namespace tolvane::app
