// The two labels in the selection's top-left corner: its size, and the
// colour under the pointer.
#pragma once

#include "layout/controls.h"
#include "platform/surface.h"

namespace tolvane::selection {

class PointerPanel {
 public:
  PointerPanel(layout::Controls& c, const platform::Surface& dc) : c_(c), dc_(dc) {}

  // ColorLabel reads "RGB(r,g,b)" of what the window shows at (x, y).
  void showColorAt(float x, float y);
  // Both labels to the selection's top-left corner.
  void place();
  // SizeLabel reads "WxH" of the selection.
  void showSize();

 private:
  layout::Controls& c_;
  const platform::Surface& dc_;
};

}  // namespace tolvane::selection
