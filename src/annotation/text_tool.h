// The text tool: an in-place box that grows with its text, then the text
// drawn into the picture at the box's place.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "annotation/style_panel.h"
#include "annotation/tool.h"
#include "layout/controls.h"
#include "picture/surface.h"

namespace tolvane::annotation {

class TextTool : public Tool {
 public:
  TextTool(layout::Controls& c, picture::Surface& dc, const StylePanel& style) : c_(c), dc_(dc), style_(style) {}

  // The stroke: the first release opens the box there, the next one commits it.
  void press(float, float) override {}
  void move(float, float) override {}  // the open box is left alone
  bool release(float x, float y) override;
  // The box's text at its place, in the current colour.
  void draw() const override;

  // Opens NoteField with its top-left at (x, y), 25 pixels wide, focused.
  void place(float x, float y);
  // Draws the box's text, then hides and empties the box. The caller records the history step.
  void commit();
  // Whether a box is open for typing.
  bool open() const;
  // NoteField's text changed: widens the box to its text; it never shrinks.
  void change();

  // Characters measured again before an edit at the end: enough for kerning
  // and for marks and joining forms that depend on the characters before them.
  static constexpr int kContext = 8;

 private:
  void begin();
  float measure(const std::string& text);
  layout::Controls& c_;
  picture::Surface& dc_;
  const StylePanel& style_;
  // The text last measured, its width and the font size it was measured in.
  std::string measured_;
  double measuredWidth_ = 0;  // sums of many small steps: kept in double
  float measuredPoints_ = -1;
};

}  // namespace tolvane::annotation
