#include "annotation/text_tool.h"

#include "platform/geometry.h"

namespace tolvane::annotation {

using platform::Ctl;

void TextTool::begin() {
  auto& box = c_(Ctl::TextEdit);
  const float size = style_.fontSize();
  box.setForeColor(style_.currentColor());
  dc_.setFontSize(size);
  box.setFontSize(size);
}

void TextTool::place(float x, float y) {
  begin();
  auto& box = c_(Ctl::TextEdit);
  box.move(x, y);
  box.setWidth(25);
  box.show();
  if (auto* view = c_.view()) view->setFocus(box.ref());
}

void TextTool::commit() {
  begin();
  auto& box = c_(Ctl::TextEdit);
  dc_.setTextColor(style_.currentColor());
  // Our text encoding is UTF-8; the count is its byte length, covering every character.
  const std::string text = box.text();
  dc_.textOut(roundEven(box.left()), roundEven(box.top()), text, static_cast<int>(text.size()));
  box.hide();
  box.setText("");
}

void TextTool::change() {
  auto& box = c_(Ctl::TextEdit);
  if (dc_.textWidth(box.text()) > box.width()) box.setWidth(dc_.textWidth(box.text()));
}

}  // namespace tolvane::annotation
