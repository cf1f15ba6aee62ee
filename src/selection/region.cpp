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
  hideFrame();
  reshape({shape_.left, shape_.top, 0, 0});
}

void showHandles(layout::Controls& c, bool shown) {
  for (int i = 0; i < 8; ++i) c(platform::Ctl::Handle, i).setVisible(shown);
}

}  // namespace tolvane::selection
