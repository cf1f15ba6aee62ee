// The two labels in the region's top-left corner: its size, and the colour
// under the pointer.
#pragma once

#include <cstdint>

#include "layout/controls.h"
#include "picture/surface.h"
#include "selection/region.h"

namespace tolvane::selection {

class PointerPanel {
 public:
  PointerPanel(layout::Controls& c, const picture::Surface& dc, const Region& region)
      : c_(c), dc_(dc), region_(region) {}

  // ColorLabel reads "RGB(r,g,b)" of what the window shows at (x, y).
  void showColorAt(float x, float y);
  // Both labels to the region's top-left corner.
  void place();
  // SizeLabel reads "WxH" of the region.
  void showSize();
  // Both labels shown or hidden; the colour label only once it has a colour.
  void setShown(bool shown);

 private:
  layout::Controls& c_;
  const picture::Surface& dc_;
  const Region& region_;
};

}  // namespace tolvane::selection
