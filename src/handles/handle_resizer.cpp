#include "handles/handle_resizer.h"

namespace tolvane::handles {

using platform::Ctl;
using platform::PointerShape;

PointerShape HandleResizer::pointerFor(Handle handle) {
  switch (handle) {
    case Handle::TopLeft:
    case Handle::BottomRight: return PointerShape::SizeNWSE;
    case Handle::TopRight:
    case Handle::BottomLeft: return PointerShape::SizeNESW;
    case Handle::Top:
    case Handle::Bottom: return PointerShape::SizeNS;
    case Handle::Left:
    case Handle::Right: return PointerShape::SizeWE;
  }
  return PointerShape::Default;
}

void HandleResizer::down(Handle /*handle*/) {
  if (!region_.made()) return;
  if (grab_ && !grab_()) return;
  held_ = true;
  from_ = region_.shape();
  chrome_.hiddenWhileReshaping();
}

selection::Selection HandleResizer::resized(const selection::Selection& from, Handle handle, double x, double y,
                                            double handleWidth, double handleHeight) {
  // Edges computed in double from the single-precision corners, as the frame holds them.
  const double L0 = from.left, T0 = from.top;
  const double R0 = static_cast<double>(from.width + from.left), B0 = static_cast<double>(from.height + from.top);
  const double w2 = handleWidth / 2.0, h2 = handleHeight / 2.0;
  double l = L0, t = T0, wd = R0 - L0, ht = B0 - T0;
  switch (handle) {
    case Handle::TopLeft: l = x + w2; t = y + h2; wd = R0 - x; ht = B0 - y; break;
    case Handle::Top: t = y + h2; ht = B0 - y; break;
    case Handle::TopRight: t = y + h2; wd = x - L0 + w2; ht = B0 - y; break;
    case Handle::Left: l = x + w2; wd = R0 - x; break;
    case Handle::BottomLeft: l = x + w2; wd = R0 - x; ht = y - T0; break;
    case Handle::Bottom: ht = y - T0; break;
    case Handle::BottomRight: wd = x - L0; ht = y - T0; break;
    case Handle::Right: wd = x - L0; break;
  }
  return {static_cast<float>(l), static_cast<float>(t), static_cast<float>(wd), static_cast<float>(ht)};
}

void HandleResizer::move(Handle handle, float x, float y) {
  pointer_.setShape(pointerFor(handle));
  if (!held_) return;
  const auto& h = c_(Ctl::Handle, indexOf(handle));
  const selection::Selection next = resized(from_, handle, x, y, h.width(), h.height());
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
  chrome_.shownAfterSelect();
}

void HandleResizer::showResized() {
  panel_.showSize();
  chrome_.shownWhileChanging();
  backdrop_.repaint(region_.shape());
}

void HandleResizer::up() {
  held_ = false;
  chrome_.shownAfterSelect();
}

}  // namespace tolvane::handles
