// What the window shows behind everything: the frozen screen under the
// dimming veil, with the region undimmed.
#pragma once

#include "picture/surface.h"
#include "platform/system.h"
#include "selection/selection.h"

namespace tolvane::selection {

constexpr Argb kVeil = 0x80222222u;  // the dimming veil

class Backdrop {
 public:
  Backdrop(picture::Surface& canvas, const platform::Screen& screen) : canvas_(canvas), screen_(screen) {}

  // Keeps the screen as read at start-up; it is never drawn on.
  void freeze(Image screen) { frozen_ = std::move(screen); }
  const Image& frozen() const { return frozen_; }
  void release() { frozen_ = Image(); }

  // The frozen screen copied onto the canvas, whole.
  void show();
  // The veil blended over the whole canvas as it is.
  void veil();
  // Whole frozen screen, veil over all of it, the region back undimmed, refresh.
  void repaint(const Selection& region);

 private:
  picture::Surface& canvas_;
  const platform::Screen& screen_;
  Image frozen_;
};

// The region in whole pixels as the repaint leaves it undimmed: its place
// rounded, then its size rounded, so the hole keeps its size wherever it sits.
IRect undimmedRect(const Selection& s);

}  // namespace tolvane::selection
