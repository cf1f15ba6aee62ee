// The window's mouse while a tool is chosen: strokes inside the selection,
// previewed while dragged and committed on release.
#pragma once

#include "annotation/style_panel.h"
#include "annotation/text_tool.h"
#include "platform/events.h"
#include "session/context.h"

namespace tolvane::selection {

class DrawingMouse {
 public:
  DrawingMouse(session::Session& ss, annotation::StylePanel& style, annotation::TextTool& text)
      : ss_(ss), style_(style), text_(text) {}

  void down(const platform::Mouse& m);
  void move(const platform::Mouse& m);
  // Runs while penDown is true, before the release's tail.
  void commit(const platform::Mouse& m);
  // Draws the text of an open text box into the picture and records it, as
  // its committing click would; does nothing when no box is open. Every
  // capture runs it first, so what the screen shows is what gets copied.
  void commitOpenText();

  // The end point, held inside the selection (its edges included).
  float clampX(float x) const;
  float clampY(float y) const;

 private:
  void push();
  session::Session& ss_;
  annotation::StylePanel& style_;
  annotation::TextTool& text_;
};

}  // namespace tolvane::selection
