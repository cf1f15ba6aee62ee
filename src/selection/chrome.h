// What shows around the region: its frame, the size and colour labels, the
// eight handles, the toolbar and the style panel. The units that change the
// region say what happened; which of these controls show follows from here.
#pragma once

#include "layout/controls.h"
#include "selection/pointer_panel.h"
#include "selection/region.h"

namespace tolvane::selection {

class Chrome {
 public:
  Chrome(layout::Controls& c, const Region& region, PointerPanel& labels) : c_(c), region_(region), labels_(labels) {}

  // Start-up: no region yet; the toolbar waits above the screen's top.
  void hiddenAtStart();
  // A press on the window: the toolbar goes until the mouse lets go.
  void hiddenWhilePressed();
  // A new band starts: its frame shows, the handles of an unfinished one go.
  void shownForBand();
  // The region is drawn, moved or resized: labels placed by it, frame,
  // labels and handles shown.
  void shownWhileChanging();
  // A handle pressed, or the region moved, resized or replaced by the
  // keyboard: the toolbar and the style panel go while it changes.
  void hiddenWhileReshaping();
  // The region is made or changed: the toolbar placed by it and shown.
  void shownAfterSelect();
  // The region cancelled: frame, labels and handles go.
  void hiddenAfterCancel();
  // Back to selecting a region: everything goes.
  void hiddenForSelecting();
  // Before the region is taken: everything goes. restore() brings back the
  // toolbar, the style panel and the frame as they were; the labels and
  // handles come back with the region's next change.
  void hiddenForCapture();
  void restore();

 private:
  void showHandles(bool shown);
  void placeToolbar();

  layout::Controls& c_;
  const Region& region_;
  PointerPanel& labels_;
  // What hiddenForCapture() found shown.
  bool toolbarWas_ = false, panelWas_ = false, frameWas_ = false;
};

}  // namespace tolvane::selection
