#pragma once

#include "layout/controls.h"

namespace tolvane::handles {

// Places the eight handles around SelectionFrame (0 to 7 in order), then shows them.
void placeHandles(layout::Controls& c);

}  // namespace tolvane::handles
