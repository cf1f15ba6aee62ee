#include "annotation/toolbar.h"

#include "layout/design.h"
#include "selection/selection.h"

namespace tolvane::annotation {

using platform::Ctl;
using session::Tool;

Tool toolForButton(int index) {
  switch (static_cast<ToolButton>(index)) {
    case ToolButton::Rectangle: return Tool::Rectangle;
    case ToolButton::Ellipse: return Tool::Ellipse;
    case ToolButton::Arrow: return Tool::Arrow;
    case ToolButton::Text: return Tool::Text;
    default: return Tool::None;
  }
}

void Toolbar::click(int index) {
  switch (static_cast<ToolButton>(index)) {
    case ToolButton::Undo: undo(); break;
    case ToolButton::CopyAndClose: copyAndClose(); return;
    case ToolButton::Save: save(); return;
    case ToolButton::Close: close_(); return;
    case ToolButton::Redo: ss_.history.redo(ss_.p.surface); break;
    case ToolButton::Arrow:
    case ToolButton::Text:
    case ToolButton::Ellipse:
    case ToolButton::Rectangle: chooseTool(index); break;
    default: break;
  }
  ss_.s.lastToolButton = index;
}

void Toolbar::chooseTool(int index) {
  // Another tool, or the text tool again, ends the text being typed as a
  // click elsewhere would; its box would otherwise stay open with no owner.
  if (commitOpenText_) commitOpenText_();
  auto& c = ss_.c;
  auto& bar = c(Ctl::Toolbar);
  auto& panel = c(Ctl::StylePanel);
  auto& font = c(Ctl::SizePanel);
  panel.setLeft(bar.left());
  const float below = bar.height() + bar.top() + 3 + panel.height();
  if (ss_.screenHeight() < below)
    panel.setTop(bar.top() - panel.height() - 3);
  else
    panel.setTop(bar.top() + bar.height() + 3);
  const float designedWidth = 3620.0f / 15.0f;
  if (static_cast<ToolButton>(index) == ToolButton::Text) {
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
  else if (ss_.s.lastToolButton == index)
    panel.hide();
  ss_.s.toolActive = true;
  ss_.s.tool = toolForButton(index);
}

void Toolbar::undo() {
  // Undo on the clean screen leaves annotating. A text still being typed
  // becomes a step first, so that undo removes it and redo brings it back,
  // rather than leaving its box open over a screen with no region.
  if (ss_.history.index() == 1 && commitOpenText_) commitOpenText_();
  if (ss_.history.undo(ss_.p.surface)) return;
  // Fell off the first entry: back to selecting a region.
  auto& c = ss_.c;
  ss_.s.selMode = session::SelMode::Draw;
  c(Ctl::SelectionFrame).hide();
  c(Ctl::Toolbar).hide();
  c(Ctl::StylePanel).hide();
  c(Ctl::SizeLabel).hide();
  c(Ctl::ColorLabel).hide();
  c(Ctl::SelectionFrame).setWidth(0);
  c(Ctl::SelectionFrame).setHeight(0);
  for (int i = 0; i < 8; ++i) c(Ctl::Handle, i).hide();
  // The region is gone, and with it what was drawn on it: redo must not
  // bring an old picture, dimmed around the old region, back over a new one.
  ss_.history.cutBack();
  ss_.s.toolActive = false;
}

bool Toolbar::captureRegion(output::Finisher::Then then) {
  auto& sel = ss_.frame();
  sel.hide();
  const IRect r = selection::selectionOf(sel).pixels();
  return finish_.captureRegion(r.left, r.top, r.right, r.bottom, then);
}

void Toolbar::copyAndClose() {
  const bool panelShown = ss_.c(Ctl::StylePanel).visible();
  ss_.c(Ctl::Toolbar).hide();
  ss_.c(Ctl::StylePanel).hide();
  if (captureRegion(output::Finisher::Then::Close)) {
    close_();
    return;
  }
  // Nothing captured: the capture stays open as it was.
  ss_.c(Ctl::Toolbar).show();
  if (panelShown) ss_.c(Ctl::StylePanel).show();
  ss_.c(Ctl::SelectionFrame).show();
}

void Toolbar::save() {
  auto& c = ss_.c;
  const bool panelShown = c(Ctl::StylePanel).visible();
  c(Ctl::Toolbar).hide();
  c(Ctl::StylePanel).hide();
  const bool captured = captureRegion(output::Finisher::Then::AskToSave);
  c(Ctl::Toolbar).show();
  if (panelShown) c(Ctl::StylePanel).show();
  c(Ctl::SelectionFrame).show();
  if (!captured) return;  // nothing to save: the capture stays open
  finish_.offerSave();
  close_();
}

void Toolbar::hideHoverFrames() {
  for (int i = 0; i <= 8; ++i) ss_.c(Ctl::ButtonHover, i).hide();
}

void Toolbar::buttonMouseMove(int index) {
  hideHoverFrames();
  ss_.c(Ctl::ButtonHover, index).show();
}

void Toolbar::toolbarHovered() {
  ss_.p.pointer.setShape(platform::kPointerArrow);
  hideHoverFrames();
}

void Toolbar::stylePanelHovered() { ss_.p.pointer.setShape(platform::kPointerArrow); }

}  // namespace tolvane::annotation
