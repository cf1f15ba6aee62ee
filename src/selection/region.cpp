#include "selection/region.h"

namespace tolvane::selection {

bool Region::reshape(const Selection& s) {
  if (!frame().move(s.left, s.top, s.width, s.height)) return false;
  shape_ = s;
  for (const auto& f : listeners_) f(shape_);
  return true;
}

void Region::drop() {
  made_ = false;
  reshape({shape_.left, shape_.top, 0, 0});
}

}  // namespace tolvane::selection
