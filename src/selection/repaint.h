// Steps shared by every drag step and by the end of a selection or resize.
#pragma once

#include "session/context.h"

namespace tolvane::selection {

// The selection in whole pixels, as the repaint leaves it undimmed.
IRect undimmedRect(const session::Session& ss);

// Whole frozen screen, veil over all of it, the selection back undimmed, refresh.
void repaintSelection(session::Session& ss);

// The toolbar goes 4 pixels below the selection, right-aligned with it, or
// inside its bottom edge when the screen has no room below; never left of 0.
void placeToolbar(session::Session& ss);

}  // namespace tolvane::selection
