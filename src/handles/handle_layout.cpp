#include "handles/handle_layout.h"

#include "handles/handle.h"

namespace tolvane::handles {

using platform::Ctl;

void placeHandles(layout::Controls& c, const selection::Selection& s) {
  for (int i = 0; i < kHandleCount; ++i) {
    auto& h = c(Ctl::Handle, i);
    // Computed in double, passed as single precision.
    const double L = s.left, T = s.top, W = s.width, H = s.height;
    const double w = h.width(), hh = h.height();
    double left = 0, top = 0;
    switch (static_cast<Handle>(i)) {
      case Handle::TopLeft: left = L - w / 2; top = T - hh / 2; break;
      case Handle::Top: left = L + W / 2 - w / 2; top = T - hh / 2; break;
      case Handle::TopRight: left = L + W - w / 1.5; top = T - hh / 2; break;  // a third of the width further left
      case Handle::Left: left = L - w / 2; top = T + H / 2 - hh / 2; break;
      case Handle::BottomLeft: left = L - w / 2; top = T + H - hh / 2; break;
      case Handle::Bottom: left = L + W / 2 - w / 2; top = T + H - hh / 2; break;
      case Handle::BottomRight: left = L + W - w / 2; top = T + H - hh / 2; break;
      case Handle::Right: left = L + W - w / 2; top = T + H / 2 - hh / 2; break;
    }
    h.move(static_cast<float>(left), static_cast<float>(top));
  }
}

}  // namespace tolvane::handles
