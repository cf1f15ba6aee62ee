#include "selection/selection.h"

#include "picture/rounding.h"

namespace tolvane::selection {

IRect Selection::pixels() const {
  const int l = roundEven(left), t = roundEven(top);
  return {l, t, roundEven(left + width), roundEven(top + height)};
}

Selection Selection::movedTo(float l, float t, float screenWidth, float screenHeight) const {
  Selection s = *this;
  s.left = l < 0 ? 0 : l;
  s.top = t < 0 ? 0 : t;
  if (screenWidth < s.width + s.left) s.left = screenWidth - s.width;
  if (screenHeight < s.height + s.top) s.top = screenHeight - s.height;
  return s;
}

Selection Selection::heldOn(float screenWidth, float screenHeight) const {
  Selection s = *this;
  if (s.left < 0) s.width += s.left, s.left = 0;
  if (s.top < 0) s.height += s.top, s.top = 0;
  if (s.width >= 0 && s.right() > screenWidth) s.width = screenWidth - s.left;
  if (s.height >= 0 && s.bottom() > screenHeight) s.height = screenHeight - s.top;
  return s;
}

}  // namespace tolvane::selection
