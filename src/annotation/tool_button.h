#pragma once

namespace tolvane::annotation {

// The toolbar's buttons by index; their tooltips are presentation only.
enum class ToolButton { Undo, CopyAndClose, Save, Close, Arrow, Text, Ellipse, Rectangle, Redo };

}  // namespace tolvane::annotation
