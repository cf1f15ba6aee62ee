#include "selection/repaint.h"

#include "platform/geometry.h"

namespace tolvane::selection {

using platform::Ctl;

IRect undimmedRect(const session::Session& ss) {
  // The frame's place rounded, then its size rounded: the hole keeps the
  // region's size in pixels wherever it sits.
  const auto& sel = ss.frame();
  const int l = roundEven(sel.left()), t = roundEven(sel.top());
  return {l, t, l + roundEven(sel.width()), t + roundEven(sel.height())};
}

void repaintSelection(session::Session& ss) {
  auto& dc = ss.p.surface;
  const float sw = ss.screenWidth(), sh = ss.screenHeight();
  dc.bitBlt(0, 0, roundEven(sw), roundEven(sh), ss.s.frozen, 0, 0);
  ss.veil.fill(annotation::kVeil, 0, 0, sw, sh);
  const IRect r = undimmedRect(ss);
  dc.bitBlt(r.left, r.top, r.width(), r.height(), ss.s.frozen, r.left, r.top);
  dc.refresh();
}

void placeToolbar(session::Session& ss) {
  const auto& sel = ss.frame();
  auto& bar = ss.c(Ctl::Toolbar);
  const float bottom = sel.top() + sel.height();
  const float right = sel.left() + sel.width();
  if (ss.screenHeight() < bottom + 4 + bar.height())
    bar.move(right - bar.width(), bottom - bar.height() - 4);
  else
    bar.move(right - bar.width(), bottom + 4);
  if (bar.left() < 0) bar.setLeft(0);
}

}  // namespace tolvane::selection
