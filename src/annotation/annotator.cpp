#include "annotation/annotator.h"

#include "selection/backdrop.h"

namespace tolvane::annotation {

Tool* Annotator::toolFor(ToolButton button) {
  switch (button) {
    case ToolButton::Rectangle: return &rectangle_;
    case ToolButton::Ellipse: return &ellipse_;
    case ToolButton::Arrow: return &arrow_;
    case ToolButton::Text: return &text_;
    default: return nullptr;
  }
}

void Annotator::press(const platform::Mouse& m) {
  if (!chosen_ || !region_.shape().strictlyInside(m.x, m.y)) return;
  stroke_ = chosen_;
  dc_.setPersistent(false);
  stroke_->press(m.x, m.y);
}

void Annotator::move(const platform::Mouse& m) {
  if (stroke_) stroke_->move(m.x, m.y);
}

void Annotator::release(const platform::Mouse& m) {
  if (!stroke_) return;
  dc_.setPersistent(true);
  if (stroke_->release(m.x, m.y)) record();
}

void Annotator::settle() {
  if (stroke_ != &text_ || !text_.open()) return;
  dc_.setPersistent(true);
  text_.commit();
  record();
}

void Annotator::record() {
  stroke_ = nullptr;
  history_.push(dc_, selection::undimmedRect(region_.shape()));
}

}  // namespace tolvane::annotation
