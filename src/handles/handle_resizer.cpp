#include "handles/handle_resizer.h"

namespace tolvane::handles {

using platform::Ctl;

int HandleResizer::pointerFor(int index) {
  constexpr int kShapes[8] = {platform::kPointerSizeNWSE, platform::kPointerSizeNS, platform::kPointerSizeNESW,
                              platform::kPointerSizeWE,   platform::kPointerSizeNESW, platform::kPointerSizeNS,
                              platform::kPointerSizeNWSE, platform::kPointerSizeWE};
  return index >= 0 && index < 8 ? kShapes[index] : platform::kPointerDefault;
}

void HandleResizer::down(int /*index*/) {
  if (!region_.made()) return;
  if (grab_ && !grab_()) return;
  held_ = true;
  from_ = region_.shape();
  c_(Ctl::Toolbar).hide();
  c_(Ctl::StylePanel).hide();
}

selection::Selection HandleResizer::resized(const selection::Selection& from, int index, double x, double y,
                                            double handleWidth, double handleHeight) {
  // Edges computed in double from the single-precision corners, as the frame holds them.
  const double L0 = from.left, T0 = from.top;
  const double R0 = static_cast<double>(from.width + from.left), B0 = static_cast<double>(from.height + from.top);
  const double w2 = handleWidth / 2.0, h2 = handleHeight / 2.0;
  double l = L0, t = T0, wd = R0 - L0, ht = B0 - T0;
  switch (index) {
    case 0: l = x + w2; t = y + h2; wd = R0 - x; ht = B0 - y; break;
    case 1: t = y + h2; ht = B0 - y; break;
    case 2: t = y + h2; wd = x - L0 + w2; ht = B0 - y; break;
    case 3: l = x + w2; wd = R0 - x; break;
    case 4: l = x + w2; wd = R0 - x; ht = y - T0; break;
    case 5: ht = y - T0; break;
    case 6: wd = x - L0; ht = y - T0; break;
    case 7: wd = x - L0; break;
    default: break;
  }
  return {static_cast<float>(l), static_cast<float>(t), static_cast<float>(wd), static_cast<float>(ht)};
}

void HandleResizer::move(int index) {
  pointer_.setShape(pointerFor(index));
  if (!held_ || index < 0 || index > 7) return;
  const platform::IPoint at = screen_.cursorPos();
  const auto& h = c_(Ctl::Handle, index);
  const selection::Selection next = resized(from_, index, at.x, at.y, h.width(), h.height());
  // The handle's offsets can push an edge a few pixels past the screen; the
  // region never reaches beyond what was captured. A negative size is
  // refused: the region keeps the previous step's geometry.
  region_.reshape(next.heldOn(region_.screenWidth(), region_.screenHeight()));
  showResized();
}

void HandleResizer::stretch(float dx, float dy) {
  if (held_ || !region_.made()) return;
  selection::Selection next = region_.shape();
  if (next.width + dx >= 1) next.width += dx;
  if (next.height + dy >= 1) next.height += dy;
  region_.reshape(next.heldOn(region_.screenWidth(), region_.screenHeight()));
  showResized();
  selection::placeToolbar(c_, region_.shape(), region_.screenHeight());
  c_(Ctl::Toolbar).show();
}

void HandleResizer::showResized() {
  selection::showHandles(c_, true);
  panel_.showSize();
  panel_.place();
  backdrop_.repaint(region_.shape());
}

void HandleResizer::up(int /*index*/) {
  held_ = false;
  selection::placeToolbar(c_, region_.shape(), region_.screenHeight());
  c_(Ctl::Toolbar).show();
}

}  // namespace tolvane::handles
