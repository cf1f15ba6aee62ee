// The region: its rectangle in window pixels (single precision, as the frame
// shows it), its hit-tests, and its moves and resizes held on the screen.
#pragma once

#include "picture/image.h"

namespace tolvane::selection {

struct Selection {
  float left = 0, top = 0, width = 0, height = 0;

  float right() const { return left + width; }
  float bottom() const { return top + height; }

  // Strictly inside: the outline itself is out. Where the move pointer shows
  // and where a stroke may start.
  bool strictlyInside(float x, float y) const { return x > left && x < right() && y > top && y < bottom(); }
  // The region in whole pixels, halves to even; right and bottom exclusive.
  IRect pixels() const;
  // A point held inside the region, its edges included.
  float holdX(float x) const { return x > right() ? right() : (x >= left ? x : left); }
  float holdY(float y) const { return y > bottom() ? bottom() : (y >= top ? y : top); }
  // Moved to (l, t) and stopped at the screen's edges; the size never changes.
  Selection movedTo(float l, float t, float screenWidth, float screenHeight) const;
  // Cut back to the screen: no edge lies past it.
  Selection heldOn(float screenWidth, float screenHeight) const;

  friend bool operator==(const Selection&, const Selection&) = default;
};

}  // namespace tolvane::selection
