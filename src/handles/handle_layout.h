#pragma once

#include "layout/controls.h"
#include "selection/selection.h"

namespace tolvane::handles {

// Moves the eight handles (0 to 7 in order) around the region; their
// visibility is left as it is.
void placeHandles(layout::Controls& c, const selection::Selection& s);

}  // namespace tolvane::handles
