#include "session/capture_session.h"

#include "annotation/style_panel.h"
#include "annotation/text_tool.h"
#include "annotation/toolbar.h"
#include "handles/handle_resizer.h"
#include "output/finish.h"
#include "platform/geometry.h"
#include "selection/drawing_mouse.h"
#include "selection/pointer_panel.h"
#include "selection/selection_mouse.h"

namespace tolvane::session {

using platform::Ctl;
using platform::CtlRef;

CaptureSession::CaptureSession(Platform& platform, platform::ControlView* view)
    : p_(platform), controls_(view), session_{p_, controls_, state_, history_, veil_} {
  auto close = [this] { this->close(); };
  panel_ = std::make_unique<selection::PointerPanel>(controls_, p_.surface);
  style_ = std::make_unique<annotation::StylePanel>(controls_);
  text_ = std::make_unique<annotation::TextTool>(controls_, p_.surface, *style_);
  // Every capture, and undo on the clean screen, first commits an open text box.
  auto commitOpenText = [this] { drawing_->commitOpenText(); };
  finisher_ = std::make_unique<output::Finisher>(session_, close, commitOpenText);
  toolbar_ = std::make_unique<annotation::Toolbar>(session_, *finisher_, close, commitOpenText);
  drawing_ = std::make_unique<selection::DrawingMouse>(session_, *style_, *text_);
  selection_ = std::make_unique<selection::SelectionMouse>(session_, *panel_, close);
  resizer_ = std::make_unique<handles::HandleResizer>(session_, *panel_);
}

CaptureSession::~CaptureSession() = default;

bool CaptureSession::start() {
  using LockState = platform::InstanceLock::State;
  switch (p_.lock.acquire()) {
    case LockState::HeldElsewhere:
      unloaded_ = true;  // another capture runs: read nothing
      return false;
    case LockState::Unavailable:
      p_.app.warn("tolvane: " + p_.lock.problem() + "; the single-instance check is off");
      break;
    case LockState::Acquired:
      break;
  }
  // One read of the screen fills both the canvas and the frozen copy. A
  // screen that cannot be read ends the start-up: a made-up picture would be
  // passed off as the user's screen.
  auto shot = p_.screen.grab();
  if (!shot) {
    failure_ = p_.screen.problem();
    if (failure_.empty()) failure_ = "the read failed";
    p_.app.warn("tolvane: cannot read the screen: " + failure_ + ". Nothing was captured.");
    unloaded_ = true;
    p_.lock.release();
    return false;
  }
  auto& bar = controls_(Ctl::Toolbar);
  bar.setTop(-bar.height());
  bar.hide();
  p_.surface.setPersistent(true);
  p_.pointer.setShape(platform::kPointerCross);

  const float sw = session_.screenWidth(), sh = session_.screenHeight();
  const int w = roundEven(sw), h = roundEven(sh);
  p_.surface.bitBlt(0, 0, w, h, *shot, 0, 0);
  state_.frozen = std::move(*shot);
  p_.app.showMaximized();
  p_.surface.setPicture(p_.surface.image());
  history_.firstEntry(p_.surface.picture());
  state_.selMode = SelMode::Draw;
  state_.toolActive = false;
  veil_.attach(p_.surface);
  veil_.fill(annotation::kVeil, 0, 0, sw, sh);
  return true;
}

void CaptureSession::close() {
  if (unloaded_) return;
  unloaded_ = true;
  releaseScreen();
  p_.app.unload();
}

void CaptureSession::releaseScreen() {
  state_.frozen = Image();
  p_.lock.release();
}

void CaptureSession::mouseDown(CtlRef target, const platform::Mouse& m) {
  if (unloaded_) return;
  switch (target.ctl) {
    case Ctl::Window:
      buttonsDown_ |= m.button;
      if (state_.toolActive)
        drawing_->down(m);
      else
        selection_->down(m);
      break;
    case Ctl::Handle:
      // Typed text counts as drawn: committed, it keeps the handles from
      // resizing (which would wipe it) while the tool is chosen.
      drawing_->commitOpenText();
      resizer_->down(target.index);
      break;
    case Ctl::SizeChooser: style_->sizeChooserPressed(); break;
    default: break;
  }
}

void CaptureSession::mouseMove(CtlRef target, const platform::Mouse& m) {
  if (unloaded_) return;
  switch (target.ctl) {
    case Ctl::Window: {
      panel_->showColorAt(m.x, m.y);
      // Only a left press on the window starts a drag: a button held since
      // before the window was there drags nothing.
      platform::Mouse held = m;
      if (!(buttonsDown_ & platform::kLeft)) held.button &= ~platform::kLeft;
      if (state_.toolActive)
        drawing_->move(held);
      else
        selection_->move(held);
      break;
    }
    case Ctl::Handle: resizer_->move(target.index); break;
    case Ctl::ToolButton: toolbar_->buttonMouseMove(target.index); break;
    case Ctl::Toolbar: toolbar_->toolbarHovered(); break;
    case Ctl::StylePanel: toolbar_->stylePanelHovered(); break;
    case Ctl::Swatch: style_->swatchHovered(target.index); break;
    case Ctl::ColorPanel: style_->colorPanelHovered(); break;
    case Ctl::SizeChooser: style_->sizeChooserHovered(); break;
    case Ctl::SizePanel: style_->sizePanelHovered(); break;
    default: break;
  }
}

void CaptureSession::mouseUp(CtlRef target, const platform::Mouse& m) {
  if (unloaded_) return;
  switch (target.ctl) {
    case Ctl::Window:
      // The release of a press the window never saw (the click that started
      // the program, say) neither makes a region nor ends the capture.
      if (!(buttonsDown_ & m.button)) return;
      buttonsDown_ &= ~m.button;
      if (state_.penDown) drawing_->commit(m);
      selection_->upTail(m);
      break;
    case Ctl::Handle: resizer_->up(target.index); break;
    case Ctl::Swatch: style_->swatchClicked(target.index); break;
    default: break;
  }
}

void CaptureSession::dblClick(CtlRef target) {
  if (unloaded_ || target.ctl != Ctl::Window) return;
  buttonsDown_ |= platform::kLeft;  // it stands for the second press; its release follows
  finisher_->doubleClick();
}

void CaptureSession::click(CtlRef target) {
  if (unloaded_) return;
  if (target.ctl == Ctl::ToolButton) toolbar_->click(target.index);
  if (target.ctl == Ctl::SizeList) style_->sizeListChosen();
}

void CaptureSession::textChanged(CtlRef target, const std::string& utf8) {
  if (unloaded_) return;
  switch (target.ctl) {
    case Ctl::TextEditor:
      controls_(Ctl::TextEditor).takeTextFromUser(utf8);
      text_->change();
      break;
    case Ctl::SizeBox:
      style_->sizeBoxChanged(utf8);
      break;
    case Ctl::SizeList:
      controls_(Ctl::SizeList).takeTextFromUser(utf8);
      break;
    default: break;
  }
}

void CaptureSession::keyPress(int ascii) {
  if (ascii == 27) close();
}

}  // namespace tolvane::session
