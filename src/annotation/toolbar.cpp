#include "annotation/toolbar.h"

namespace tolvane::annotation {

using platform::Ctl;

void Toolbar::click(int index) {
  switch (static_cast<ToolButton>(index)) {
    case ToolButton::Undo: undo(); break;
    case ToolButton::CopyAndClose: copyAndClose(); return;
    case ToolButton::Save: save(); return;
    case ToolButton::Close: close_(); return;
    case ToolButton::Redo: history_.redo(dc_); break;
    case ToolButton::Arrow:
    case ToolButton::Text:
    case ToolButton::Ellipse:
    case ToolButton::Rectangle: chooseTool(static_cast<ToolButton>(index)); break;
    default: break;
  }
  lastButton_ = index;
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
  const float designedWidth = 3620.0f / 15.0f;
  if (button == ToolButton::Text) {
    font.show();
    c(Ctl::ColorPanel).setLeft(78.667f);
    panel.setWidth(designedWidth);
  } else {
    font.hide();
    c(Ctl::ColorPanel).setLeft(font.left());
    panel.setWidth(designedWidth - font.width() - 2);
  }
  c(Ctl::StylePanelFrame).setWidth(panel.width());  // the panel's inner width: it has no border
  if (!panel.visible())
    panel.show();
  else if (lastButton_ == static_cast<int>(button))
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
  c_(Ctl::Toolbar).hide();
  c_(Ctl::StylePanel).hide();
  c_(Ctl::SizeLabel).hide();
  c_(Ctl::ColorLabel).hide();
  selection::showHandles(c_, false);
  // The region is gone, and with it what was drawn on it: redo must not
  // bring an old picture, dimmed around the old region, back over a new one.
  history_.cutBack();
  annotator_.drop();
}

bool Toolbar::captureRegion(output::Finisher::Then then) {
  region_.hideFrame();
  return finish_.captureRegion(region_.shape().pixels(), then);
}

void Toolbar::copyAndClose() {
  const bool panelShown = c_(Ctl::StylePanel).visible();
  c_(Ctl::Toolbar).hide();
  c_(Ctl::StylePanel).hide();
  if (captureRegion(output::Finisher::Then::Close)) {
    close_();
    return;
  }
  // Nothing captured: the capture stays open as it was.
  c_(Ctl::Toolbar).show();
  if (panelShown) c_(Ctl::StylePanel).show();
  region_.showFrame();
}

void Toolbar::save() {
  auto& c = c_;
  const bool panelShown = c(Ctl::StylePanel).visible();
  c(Ctl::Toolbar).hide();
  c(Ctl::StylePanel).hide();
  const bool captured = captureRegion(output::Finisher::Then::AskToSave);
  c(Ctl::Toolbar).show();
  if (panelShown) c(Ctl::StylePanel).show();
  region_.showFrame();
  if (!captured) return;  // nothing to save: the capture stays open
  finish_.offerSave();
  close_();
}

void Toolbar::hideHoverFrames() {
  for (int i = 0; i <= 8; ++i) c_(Ctl::ButtonHover, i).hide();
}

void Toolbar::buttonMouseMove(int index) {
  hideHoverFrames();
  c_(Ctl::ButtonHover, index).show();
}

void Toolbar::toolbarHovered() {
  pointer_.setShape(platform::kPointerArrow);
  hideHoverFrames();
}

void Toolbar::stylePanelHovered() { pointer_.setShape(platform::kPointerArrow); }

}  // namespace tolvane::annotation

namespace tolvane::annotation {

void Toolbar::finishByDoubleClick() {
  c_(Ctl::Toolbar).hide();
  region_.hideFrame();
  if (!finish_.captureRegion(region_.shape().pixels())) {
    // Nothing captured: the capture stays open rather than ending empty.
    region_.showFrame();
    c_(Ctl::Toolbar).show();
    return;
  }
  finish_.offerSave();
  close_();
}

}  // namespace tolvane::annotation
