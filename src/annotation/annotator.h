// The window's mouse while a tool is chosen: the chosen tool's strokes
// inside the region, each one a history step when it is done.
#pragma once

#include "annotation/history.h"
#include "annotation/shapes.h"
#include "annotation/text_tool.h"
#include "annotation/tool_button.h"
#include "platform/events.h"
#include "selection/region.h"

namespace tolvane::annotation {

class Annotator {
 public:
  Annotator(picture::Surface& dc, const selection::Region& region, History& history, const StylePanel& style,
            TextTool& text)
      : dc_(dc), region_(region), history_(history), text_(text), rectangle_(dc, region, style),
        ellipse_(dc, region, style), arrow_(dc, region, style) {}

  // The tool a toolbar button stands for; nullptr for the other buttons.
  Tool* toolFor(ToolButton button);
  // Chooses the button's tool; the other buttons choose none.
  void choose(ToolButton button) { chosen_ = toolFor(button); }
  // No tool any more: the window's mouse goes back to the region. A stroke
  // already on is still finished by its release.
  void drop() { chosen_ = nullptr; }
  bool active() const { return chosen_ != nullptr; }
  // A stroke is on: pressed and not yet done (a text box open counts).
  bool stroking() const { return stroke_ != nullptr; }

  void press(const platform::Mouse& m);
  void move(const platform::Mouse& m);
  void release(const platform::Mouse& m);
  // Draws the text of an open text box into the picture and records it, as
  // its committing click would; does nothing when no box is open. Every
  // capture runs it first, so what the screen shows is what gets copied.
  void settle();

 private:
  void record();

  picture::Surface& dc_;
  const selection::Region& region_;
  History& history_;
  TextTool& text_;
  RectangleTool rectangle_;
  EllipseTool ellipse_;
  ArrowTool arrow_;
  Tool* chosen_ = nullptr;
  Tool* stroke_ = nullptr;
};

}  // namespace tolvane::annotation
