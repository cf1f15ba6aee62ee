#include "handles/handle_layout.h"

namespace tolvane::handles {

using platform::Ctl;

void placeHandles(layout::Controls& c, const selection::Selection& s) {
  for (int i = 0; i < 8; ++i) {
    auto& h = c(Ctl::Handle, i);
    // Computed in double, passed as single precision.
    const double L = s.left, T = s.top, W = s.width, H = s.height;
    const double w = h.width(), hh = h.height();
    double left = 0, top = 0;
    switch (i) {
      case 0: left = L - w / 2; top = T - hh / 2; break;
      case 1: left = L + W / 2 - w / 2; top = T - hh / 2; break;
      case 2: left = L + W - w / 1.5; top = T - hh / 2; break;  // a third of the width further left
      case 3: left = L - w / 2; top = T + H / 2 - hh / 2; break;
      case 4: left = L - w / 2; top = T + H - hh / 2; break;
      case 5: left = L + W / 2 - w / 2; top = T + H - hh / 2; break;
      case 6: left = L + W - w / 2; top = T + H - hh / 2; break;
      default: left = L + W - w / 2; top = T + H / 2 - hh / 2; break;
    }
    h.move(static_cast<float>(left), static_cast<float>(top));
  }
}

}  // namespace tolvane::handles
