// The picture history behind undo and redo: whole-window snapshots,
// entry 1 the clean frozen screen.
#pragma once

#include <optional>
#include <vector>

#include "annotation/excel_property_bag.h"
#include "platform/surface.h"

namespace tolvane::annotation {

class History {
 public:
  // Entry 1: the background picture, before the veil.
  void firstEntry(const Image& background);
  // Records the canvas as a new newest entry, dropping undone ones above it.
  void push(const platform::Surface& surface);
  // One step back. Returns false when it fell off the first entry: nothing
  // was restored, SnapIndex is 0 or less and the caller resets the selection.
  bool undo(platform::Surface& surface);
  void redo(platform::Surface& surface);
  // Back to the clean screen: only entry 1 is kept.
  void cutBack();
  void setIndex(int index) { SnapIndex = index; }

  int index() const { return SnapIndex; }
  int top() const { return SnapTop; }
  std::size_t bytesKept() const;
  const std::vector<Bytes>& snapshots() const { return Snapshots; }

 private:
  ExcelPropertyBag& bag();
  std::optional<ExcelPropertyBag> SnapBag;
  std::vector<Bytes> Snapshots;  // index 0 unused
  int SnapIndex = 0;
  int SnapTop = 0;
};

}  // namespace tolvane::annotation
