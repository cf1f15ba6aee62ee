// The text tool: an in-place box that grows with its text, then the text
// drawn into the picture at the box's place.
#pragma once

#include "annotation/style_panel.h"
#include "layout/controls.h"
#include "platform/surface.h"

namespace tolvane::annotation {

class TextTool {
 public:
  TextTool(layout::Controls& c, platform::Surface& dc, StylePanel& style) : c_(c), dc_(dc), style_(style) {}

  // Opens TextEdit with its top-left at (x, y), 25 pixels wide, focused.
  void place(float x, float y);
  // Draws the box's text, then hides and empties the box. The caller records the history step.
  void commit();
  // TextEdit's Change: widens the box to its text; it never shrinks.
  void change();

 private:
  void begin();
  layout::Controls& c_;
  platform::Surface& dc_;
  StylePanel& style_;
};

}  // namespace tolvane::annotation
