#include "annotation/toolbar.h"

#include "layout/design.h"

namespace tolvane::annotation {

using platform::Ctl;

void Toolbar::click(ToolButton button) {
  switch (button) {
    case ToolButton::Undo: undo(); break;
    case ToolButton::CopyAndClose:
    case ToolButton::Save:
    case ToolButton::Close: return;
    case ToolButton::Redo: history_.redo(dc_); break;
    case ToolButton::Arrow:
    case ToolButton::Text:
    case ToolButton::Ellipse:
    case ToolButton::Rectangle: chooseTool(button); break;
  }
  lastButton_ = button;
}

void Toolbar::chooseTool(ToolButton button) {
  // Another tool, or the text tool again, ends the text being typed as a
  // click elsewhere would; its box would otherwise stay open with no owner.
  annotator_.settle();
  auto& c = c_;
  auto& bar = c(Ctl::Toolbar);
  auto& panel = c(Ctl::StylePanel);
  auto& font = c(Ctl::SizePanel);
  panel.setLeft(bar.left());
  const float below = bar.height() + bar.top() + 3 + panel.height();
  if (region_.screenHeight() < below)
    panel.setTop(bar.top() - panel.height() - 3);
  else
    panel.setTop(bar.top() + bar.height() + 3);
  if (button == ToolButton::Text) {
    font.show();
    c(Ctl::ColorPanel).setLeft(layout::kColorPanelLeft);
    panel.setWidth(layout::kStylePanelWidth);
  } else {
    font.hide();
    c(Ctl::ColorPanel).setLeft(font.left());
    panel.setWidth(layout::kStylePanelWidth - font.width() - 2);
  }
  c(Ctl::StylePanelFrame).setWidth(panel.width());  // the panel's inner width: it has no border
  if (!panel.visible())
    panel.show();
  else if (lastButton_ == button)
    panel.hide();
  annotator_.choose(button);
}

void Toolbar::undo() {
  // Undo on the clean screen leaves annotating. A text still being typed
  // becomes a step first, so that undo removes it and redo brings it back,
  // rather than leaving its box open over a screen with no region.
  if (history_.index() == 1) annotator_.settle();
  if (history_.undo(dc_)) return;
  // Fell off the first entry: back to selecting a region.
  region_.drop();
  chrome_.hiddenForSelecting();
  // The region is gone, and with it what was drawn on it: redo must not
  // bring an old picture, dimmed around the old region, back over a new one.
  history_.cutBack();
  annotator_.drop();
}

void Toolbar::hideHoverFrames() {
  for (int i = 0; i < kToolButtonCount; ++i) c_(Ctl::ButtonHover, i).hide();
}

void Toolbar::buttonHovered(ToolButton button) {
  hideHoverFrames();
  c_(Ctl::ButtonHover, indexOf(button)).show();
}

void Toolbar::toolbarHovered() {
  pointer_.setShape(platform::PointerShape::Arrow);
  hideHoverFrames();
}

void Toolbar::stylePanelHovered() { pointer_.setShape(platform::PointerShape::Arrow); }

}  // namespace tolvane::annotation
