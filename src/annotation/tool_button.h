#pragma once

#include <optional>

namespace tolvane::annotation {

// The toolbar's buttons by index; their tooltips are presentation only.
enum class ToolButton { Undo, CopyAndClose, Save, Close, Arrow, Text, Ellipse, Rectangle, Redo };

inline constexpr int kToolButtonCount = 9;

// The button whose control has `index`; nullopt for an index no button has.
constexpr std::optional<ToolButton> toolButtonAt(int index) {
  if (index < 0 || index >= kToolButtonCount) return std::nullopt;
  return static_cast<ToolButton>(index);
}
constexpr int indexOf(ToolButton b) { return static_cast<int>(b); }

}  // namespace tolvane::annotation
