#include "selection/backdrop.h"

#include "picture/rounding.h"

namespace tolvane::selection {

IRect undimmedRect(const Selection& s) {
  const int l = roundEven(s.left), t = roundEven(s.top);
  return {l, t, l + roundEven(s.width), t + roundEven(s.height)};
}

void Backdrop::show() {
  const float sw = static_cast<float>(screen_.width()), sh = static_cast<float>(screen_.height());
  canvas_.bitBlt(0, 0, roundEven(sw), roundEven(sh), frozen_, 0, 0);
}

void Backdrop::veil() {
  canvas_.fillArgb(kVeil, 0, 0, static_cast<float>(screen_.width()), static_cast<float>(screen_.height()));
}

void Backdrop::repaint(const Selection& region) {
  show();
  veil();
  const IRect r = undimmedRect(region);
  canvas_.bitBlt(r.left, r.top, r.width(), r.height(), frozen_, r.left, r.top);
  canvas_.refresh();
}

}  // namespace tolvane::selection
