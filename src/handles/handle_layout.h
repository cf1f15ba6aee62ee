#pragma once

#include "layout/controls.h"

namespace tolvane::handles {

// Places the eight handles around Shape1 (0 to 7 in order), then shows them.
void ImageMove(layout::Controls& c);

}  // namespace tolvane::handles
