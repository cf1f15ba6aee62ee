// The eight handles around the region, in the order of their controls.
#pragma once

#include <optional>

namespace tolvane::handles {

enum class Handle { TopLeft, Top, TopRight, Left, BottomLeft, Bottom, BottomRight, Right };

inline constexpr int kHandleCount = 8;

// The handle whose control has `index`; nullopt for an index no handle has.
constexpr std::optional<Handle> handleAt(int index) {
  if (index < 0 || index >= kHandleCount) return std::nullopt;
  return static_cast<Handle>(index);
}
constexpr int indexOf(Handle h) { return static_cast<int>(h); }

}  // namespace tolvane::handles
