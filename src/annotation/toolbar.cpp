#include "annotation/toolbar.h"

#include "layout/design.h"
#include "platform/geometry.h"

namespace tolvane::annotation {

using platform::Ctl;
using session::Tool;

namespace {
constexpr int kUndo = 0, kCopyClose = 1, kSave = 2, kClose = 3, kRedo = 8;
constexpr int kTextButton = 5;
}  // namespace

Tool toolFromTooltip(std::string_view tooltip) {
  if (tooltip == "添加矩形") return Tool::Rectangle;
  if (tooltip == "添加椎圆") return Tool::Ellipse;
  if (tooltip == "添加箭头") return Tool::Arrow;
  if (tooltip == "添加文字") return Tool::Text;
  return Tool::None;
}

void Toolbar::click(int index) {
  switch (index) {
    case kUndo: undo(); break;
    case kCopyClose: copyAndClose(); return;
    case kSave: save(); return;
    case kClose: close_(); return;
    case kRedo: ss_.history.redo(ss_.p.surface); break;
    default:
      if (index >= 4 && index <= 7) chooseTool(index);
      break;
  }
  ss_.s.LastToolButton = index;
}

void Toolbar::chooseTool(int index) {
  // Another tool, or the text tool again, ends the text being typed as a
  // click elsewhere would; its box would otherwise stay open with no owner.
  if (commitOpenText_) commitOpenText_();
  auto& c = ss_.c;
  auto& bar = c(Ctl::Picture1);
  auto& panel = c(Ctl::Picture2);
  auto& font = c(Ctl::PicFont);
  panel.setLeft(bar.left());
  const float below = bar.height() + bar.top() + 3 + panel.height();
  if (ss_.screenHeight() < below)
    panel.setTop(bar.top() - panel.height() - 3);
  else
    panel.setTop(bar.top() + bar.height() + 3);
  const float designedWidth = 3620.0f / 15.0f;
  if (index == kTextButton) {
    font.show();
    c(Ctl::PicColor).setLeft(78.667f);
    panel.setWidth(designedWidth);
  } else {
    font.hide();
    c(Ctl::PicColor).setLeft(font.left());
    panel.setWidth(designedWidth - font.width() - 2);
  }
  c(Ctl::Shape4).setWidth(panel.width());  // the panel's inner width: it has no border
  if (!panel.visible())
    panel.show();
  else if (ss_.s.LastToolButton == index)
    panel.hide();
  ss_.s.ToolActive = true;
  ss_.s.ToolName = toolFromTooltip(c(Ctl::Image2, index).tooltip());
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
  c(Ctl::Shape1).hide();
  c(Ctl::Picture1).hide();
  c(Ctl::Picture2).hide();
  c(Ctl::LblPos).hide();
  c(Ctl::lblInfo).hide();
  c(Ctl::Shape1).setWidth(0);
  c(Ctl::Shape1).setHeight(0);
  for (int i = 0; i < 8; ++i) c(Ctl::Image1, i).hide();
  // The region is gone, and with it what was drawn on it: redo must not
  // bring an old picture, dimmed around the old region, back over a new one.
  ss_.history.cutBack();
  ss_.s.ToolActive = false;
}

bool Toolbar::captureRegion(output::Finisher::Then then) {
  auto& sel = ss_.shape1();
  sel.hide();
  const float l = sel.left(), t = sel.top();
  return finish_.ScrnCap(roundEven(l), roundEven(t), roundEven(l + sel.width()), roundEven(t + sel.height()), then);
}

void Toolbar::copyAndClose() {
  const bool panelShown = ss_.c(Ctl::Picture2).visible();
  ss_.c(Ctl::Picture1).hide();
  ss_.c(Ctl::Picture2).hide();
  ss_.p.app.sleep(10);
  ss_.p.app.doEvents();
  if (captureRegion(output::Finisher::Then::Close)) {
    close_();
    return;
  }
  // Nothing captured: the capture stays open as it was.
  ss_.c(Ctl::Picture1).show();
  if (panelShown) ss_.c(Ctl::Picture2).show();
  ss_.c(Ctl::Shape1).show();
}

void Toolbar::save() {
  auto& c = ss_.c;
  const bool panelShown = c(Ctl::Picture2).visible();
  c(Ctl::Picture1).hide();
  c(Ctl::Picture2).hide();
  ss_.p.app.sleep(10);
  ss_.p.app.doEvents();
  const bool captured = captureRegion(output::Finisher::Then::AskToSave);
  c(Ctl::Picture1).show();
  if (panelShown) c(Ctl::Picture2).show();
  c(Ctl::Shape1).show();
  if (!captured) return;  // nothing to save: the capture stays open
  finish_.CutdSave();
  close_();
}

void Toolbar::hideHoverFrames() {
  for (int i = 0; i <= 8; ++i) ss_.c(Ctl::Shape3, i).hide();
}

void Toolbar::buttonMouseMove(int index) {
  hideHoverFrames();
  ss_.c(Ctl::Shape3, index).show();
}

void Toolbar::picture1MouseMove() {
  ss_.p.pointer.setShape(platform::kPointerArrow);
  hideHoverFrames();
}

void Toolbar::picture2MouseMove() { ss_.p.pointer.setShape(platform::kPointerArrow); }

}  // namespace tolvane::annotation
