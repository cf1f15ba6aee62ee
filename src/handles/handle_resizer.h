// Resizing the region by its eight handles.
#pragma once

#include <functional>

#include "handles/handle.h"
#include "platform/system.h"
#include "selection/backdrop.h"
#include "selection/chrome.h"
#include "selection/pointer_panel.h"
#include "selection/region.h"

namespace tolvane::handles {

class HandleResizer {
 public:
  // `grab` is asked at each press on a handle of a made region whether it
  // may be resized now (nothing drawn on it); when it may, `grab` also
  // drops what the resize makes stale (the undone steps).
  HandleResizer(selection::Region& region, const layout::Controls& c, selection::Chrome& chrome,
                selection::Backdrop& backdrop, selection::PointerPanel& panel, platform::Pointer& pointer,
                std::function<bool()> grab)
      : region_(region), c_(c), chrome_(chrome), backdrop_(backdrop), panel_(panel), pointer_(pointer),
        grab_(std::move(grab)) {}

  void down(Handle handle);
  // The pointer moved over or with the handle to (x, y), in the window's pixels.
  void move(Handle handle, float x, float y);
  void up();
  // A handle held down: the region is being resized by the mouse.
  bool held() const { return held_; }
  // Moves the region's bottom-right corner by (dx, dy), as the corner handle
  // would, held on the screen. The region keeps at least one pixel each way.
  // The caller settles first whether the region may be resized now.
  void stretch(float dx, float dy);

  // The pointer shape over a handle.
  static platform::PointerShape pointerFor(Handle handle);
  // The region a handle makes with its top-left corner at (x, y), from the
  // region `from` it was pressed on. Not yet held on the screen.
  static selection::Selection resized(const selection::Selection& from, Handle handle, double x, double y,
                                      double handleWidth, double handleHeight);

 private:
  // Handles, size label and screen after a resize step.
  void showResized();

  selection::Region& region_;
  const layout::Controls& c_;
  selection::Chrome& chrome_;
  selection::Backdrop& backdrop_;
  selection::PointerPanel& panel_;
  platform::Pointer& pointer_;
  std::function<bool()> grab_;
  bool held_ = false;
  selection::Selection from_;  // the region when the handle was pressed
};

}  // namespace tolvane::handles
