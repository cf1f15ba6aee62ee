// The window's mouse while no tool is chosen: draw, move and cancel the
// region, and leave with the right button.
#pragma once

#include <functional>

#include "platform/events.h"
#include "platform/system.h"
#include "selection/backdrop.h"
#include "selection/chrome.h"
#include "selection/pointer_panel.h"
#include "selection/region.h"

namespace tolvane::selection {

class SelectionMouse {
 public:
  SelectionMouse(Region& region, Chrome& chrome, Backdrop& backdrop, PointerPanel& panel, platform::Pointer& pointer,
                 std::function<void()> close)
      : region_(region), chrome_(chrome), backdrop_(backdrop), panel_(panel), pointer_(pointer),
        close_(std::move(close)) {}

  void down(const platform::Mouse& m);
  // After the colour label was updated.
  void move(const platform::Mouse& m);
  // The tail of every release, drawing or not: exit on a non-left button,
  // otherwise the region is made and the toolbar placed.
  void upTail(const platform::Mouse& m);
  // Whether the last press on the window fell inside a made region (its
  // whole pixels): a double click there finishes.
  bool pressedInside() const { return pressedInside_; }

  // Makes `s` the region as a band dragged out to it would, then released:
  // frame, handles, labels and toolbar shown, the screen repainted.
  void select(const Selection& s);
  // Moves a made region by (dx, dy) as a drag would, stopped at the screen's
  // edges; the toolbar follows it.
  void nudge(float dx, float dy);

 private:
  void cancel(float x, float y);
  void drawBand(float x, float y);
  // Frame, labels and handles shown over the repainted screen.
  void showRegion();

  Region& region_;
  Chrome& chrome_;
  Backdrop& backdrop_;
  PointerPanel& panel_;
  platform::Pointer& pointer_;
  std::function<void()> close_;
  float anchorX_ = 0, anchorY_ = 0;  // a band's fixed corner
  float grabX_ = 0, grabY_ = 0;      // the region's corner at the press that moves it
  float downX_ = 0, downY_ = 0;      // that press
  bool pressedInside_ = false;
  bool releaseEnds_ = true;  // a release of any button but the left ends the capture; a cancel clears it
};

}  // namespace tolvane::selection
