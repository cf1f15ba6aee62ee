// The picture history behind undo and redo. Entry 1 is the clean frozen
// screen, kept as the picture itself. Every later entry is the whole window
// picture, stored as its difference from what the screen shows without
// annotations (the veiled frozen screen with the selection undimmed): only
// the rectangle that differs is kept, serialised and compressed.
#pragma once

#include <optional>
#include <vector>

#include "annotation/snapshot_codec.h"
#include "picture/surface.h"

namespace tolvane::annotation {

class History {
 public:
  // Entry 1: the background picture, before the veil.
  void firstEntry(const Image& background);
  // Records the canvas as a new newest entry, dropping undone ones above it.
  // `hole` is the selection the canvas shows undimmed.
  void push(const picture::Surface& surface, const IRect& hole);
  // One step back. Returns false when it fell off the first entry: nothing
  // was restored, the index is 0 or less and the caller resets the selection.
  bool undo(picture::Surface& surface);
  void redo(picture::Surface& surface);
  // Back to the clean screen: only entry 1 is kept.
  void cutBack();

  int index() const { return index_; }
  int top() const { return top_; }
  // The picture of entry `i` (1 to top()), in layers and flat.
  picture::LayeredPicture layers(int i) const;
  Image picture(int i) const;
  // Bytes held for entries 2 and up.
  std::size_t bytesKept() const;

 private:
  struct Entry {
    IRect hole;   // the undimmed selection the difference is taken against
    IRect patch;  // where the picture differs from that
    Bytes bytes;  // the difference inside `patch`, serialised
    bool whole = false;  // bytes hold the whole picture instead
  };
  SnapshotCodec& bag() const;

  mutable std::optional<SnapshotCodec> codec_;
  Image base_;                 // entry 1
  std::vector<Entry> entries_;  // index 0 unused, 1 is base_
  int index_ = 0;
  int top_ = 0;
};

}  // namespace tolvane::annotation
