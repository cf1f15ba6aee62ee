#include "annotation/history.h"

namespace tolvane::annotation {

ExcelPropertyBag& History::bag() {
  if (!SnapBag) SnapBag.emplace();
  return *SnapBag;
}

void History::firstEntry(const Image& background) {
  SnapIndex = 1;
  SnapTop = 1;
  Snapshots.resize(2);
  bag().WriteP(Snapshots[1], background);
}

void History::push(const platform::Surface& surface) {
  ++SnapIndex;
  SnapTop = SnapIndex;
  Snapshots.resize(static_cast<std::size_t>(SnapIndex) + 1);
  bag().WriteP(Snapshots[SnapIndex], surface.image());
}

bool History::undo(platform::Surface& surface) {
  --SnapIndex;
  if (SnapIndex < 1) return false;
  surface.setPicture(bag().ReadP(Snapshots[SnapIndex]));
  return true;
}

void History::redo(platform::Surface& surface) {
  ++SnapIndex;
  if (SnapIndex > SnapTop) {
    SnapIndex = SnapTop;
    return;
  }
  surface.setPicture(bag().ReadP(Snapshots[SnapIndex]));
}

void History::cutBack() {
  SnapIndex = 1;
  SnapTop = 1;
  Snapshots.resize(2);
}

std::size_t History::bytesKept() const {
  std::size_t n = 0;
  for (const auto& s : Snapshots) n += s.size();
  return n;
}

}  // namespace tolvane::annotation
