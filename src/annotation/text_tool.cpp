#include "annotation/text_tool.h"

#include <algorithm>
#include <cstring>

#include "picture/rounding.h"

namespace tolvane::annotation {

using platform::Ctl;

namespace {
bool continuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// How many leading bytes two texts share, ending on a whole character.
std::size_t sharedStart(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  std::size_t same = std::memcmp(a.data(), b.data(), n) == 0
                         ? n
                         : static_cast<std::size_t>(std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(n),
                                                                  b.begin()).first - a.begin());
  // Cut at a character's first byte in both texts.
  while (same > 0 && ((same < a.size() && continuationByte(a[same])) || (same < b.size() && continuationByte(b[same]))))
    --same;
  return same;
}

// The byte offset `chars` characters before `end`.
std::size_t charsBefore(std::string_view s, std::size_t end, int chars) {
  while (end > 0 && chars > 0) {
    --end;
    if (!continuationByte(s[end])) --chars;
  }
  return end;
}
}  // namespace

void TextTool::begin() {
  auto& box = c_(Ctl::NoteField);
  const float size = style_.style().textSize;
  box.setForeColor(style_.style().color);
  dc_.setFontSize(size);
  box.setFontSize(size);
}

void TextTool::place(float x, float y) {
  begin();
  auto& box = c_(Ctl::NoteField);
  box.move(x, y);
  box.setWidth(25);
  measuredPoints_ = -1;  // a new text: measured whole the first time
  box.show();
  if (auto* view = c_.view()) view->setFocus(box.ref());
}

bool TextTool::open() const { return c_(Ctl::NoteField).visible(); }

bool TextTool::release(float x, float y) {
  if (!open()) {
    place(x, y);  // the next release commits
    return false;
  }
  commit();
  return true;
}

void TextTool::draw() const {
  const auto& box = c_(Ctl::NoteField);
  dc_.setTextColor(style_.style().color);
  // Our text encoding is UTF-8; the count is its byte length, covering every character.
  const std::string text = box.text();
  dc_.textOut(roundEven(box.left()), roundEven(box.top()), text, static_cast<int>(text.size()));
}

void TextTool::commit() {
  begin();
  draw();
  auto& box = c_(Ctl::NoteField);
  box.hide();
  box.setText("");
}

void TextTool::change() {
  auto& box = c_(Ctl::NoteField);
  const float width = measure(box.text());
  if (width > box.width()) box.setWidth(width);
}

// A whole measure costs the text's length, so typing would slow down as the
// text grows. An edit at the end (typing, a paste or Backspace there) changes
// only the width from a few characters before it on: that part is measured
// again in the old and the new text. Other edits measure the whole text.
float TextTool::measure(const std::string& text) {
  const float points = dc_.fontSize();
  const bool known = points == measuredPoints_;
  const std::size_t same = known ? sharedStart(measured_, text) : 0;
  const bool atEnd = known && (same == measured_.size() || same == text.size());
  if (atEnd && same == measured_.size() && same == text.size()) return static_cast<float>(measuredWidth_);
  if (!atEnd) {
    measuredWidth_ = dc_.textWidth(text);
    measured_ = text;
  } else {
    const std::size_t from = charsBefore(text, same, kContext);
    const std::string_view before(measured_), after(text);
    measuredWidth_ += dc_.textWidth(after.substr(from)) - dc_.textWidth(before.substr(from));
    measured_.resize(same);
    measured_.append(text, same);
  }
  measuredPoints_ = points;
  return static_cast<float>(measuredWidth_);
}

}  // namespace tolvane::annotation
