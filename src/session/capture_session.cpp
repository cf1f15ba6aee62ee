#include "session/capture_session.h"

#include <algorithm>

#include "handles/handle_layout.h"

namespace tolvane::session {

using platform::Ctl;
using platform::CtlRef;

CaptureSession::CaptureSession(Platform& platform, platform::ControlView* view)
    : p_(platform),
      controls_(view),
      region_(controls_, p_.screen),
      backdrop_(p_.surface, p_.screen),
      panel_(controls_, p_.surface, region_),
      chrome_(controls_, region_, panel_),
      style_(controls_),
      text_(controls_, p_.surface, style_),
      annotator_(p_.surface, region_, history_, style_, text_),
      finisher_(p_.surface, {p_.app, p_.pointer, p_.clipboard, p_.saveDialog, p_.messageBox, p_.encoders, p_.env}),
      finishing_(chrome_, region_, annotator_, finisher_, [this] { close(); }),
      toolbar_(controls_, region_, chrome_, annotator_, history_, p_.surface, p_.pointer),
      selection_(region_, chrome_, backdrop_, panel_, p_.pointer, [this] { close(); }),
      resizer_(region_, controls_, chrome_, backdrop_, panel_, p_.pointer, [this] { return grabHandle(); }) {
  region_.onReshape([this](const selection::Selection& s) { handles::placeHandles(controls_, s); });
}

CaptureSession::~CaptureSession() = default;

CaptureSession::StartUp CaptureSession::start() {
  using LockState = platform::InstanceLock::State;
  const platform::InstanceLock::Result lock = p_.lock.acquire();
  switch (lock.state) {
    case LockState::HeldElsewhere:
      closed_ = true;  // another capture runs: read nothing
      return StartUp::AnotherCapture;
    case LockState::Unavailable:
      p_.app.warn("tolvane: " + lock.failure->description + "; the single-instance check is off");
      break;
    case LockState::Acquired:
      break;
  }
  // One read of the screen fills both the canvas and the frozen copy. A
  // screen that cannot be read ends the start-up: a made-up picture would be
  // passed off as the user's screen.
  platform::ScreenRead shot = p_.screen.grab();
  if (!shot.ok()) {
    failure_ = shot.failure;
    p_.app.warn("tolvane: cannot read the screen: " + failure_->description + ". Nothing was captured.");
    closed_ = true;
    p_.lock.release();
    return StartUp::ScreenUnreadable;
  }
  chrome_.hiddenAtStart();
  p_.surface.setPersistent(true);
  p_.pointer.setShape(platform::PointerShape::Cross);
  backdrop_.freeze(std::move(shot.picture));
  backdrop_.show();
  p_.app.showMaximized();
  p_.surface.setPicture(p_.surface.image());
  history_.firstEntry(p_.surface.picture());
  backdrop_.veil();
  return StartUp::Running;
}

void CaptureSession::close() {
  if (closed_) return;
  closed_ = true;
  backdrop_.release();
  p_.lock.release();
  p_.app.close();
}

bool CaptureSession::grabHandle() {
  if (history_.index() == 1) annotator_.drop();  // nothing drawn yet: the tool is dropped
  if (annotator_.active()) return false;
  history_.cutBack();
  return true;
}

void CaptureSession::selectRegion(const IRect& area) {
  if (closed_) return;
  annotator_.settle();
  annotator_.drop();
  history_.cutBack();
  chrome_.hiddenWhileReshaping();
  const int w = p_.screen.width(), h = p_.screen.height();
  const int l = std::clamp(area.left, 0, w), t = std::clamp(area.top, 0, h);
  const int r = std::clamp(area.right, l, w), b = std::clamp(area.bottom, t, h);
  selection_.select({static_cast<float>(l), static_cast<float>(t), static_cast<float>(r - l),
                     static_cast<float>(b - t)});
}

void CaptureSession::mouseDown(CtlRef target, const platform::Mouse& m) {
  if (closed_) return;
  switch (target.ctl) {
    case Ctl::Window:
      buttonsDown_ |= m.button;
      if (annotator_.active())
        annotator_.press(m);
      else
        selection_.down(m);
      break;
    case Ctl::Handle:
      // Typed text counts as drawn: committed, it keeps the handles from
      // resizing (which would wipe it) while the tool is chosen.
      annotator_.settle();
      if (const auto h = handles::handleAt(target.index)) resizer_.down(*h);
      break;
    case Ctl::SizeChooser: style_.sizeChooserPressed(); break;
    default: break;
  }
}

void CaptureSession::mouseMove(CtlRef target, const platform::Mouse& m) {
  if (closed_) return;
  switch (target.ctl) {
    case Ctl::Window: {
      panel_.showColorAt(m.x, m.y);
      // Only a left press on the window starts a drag: a button held since
      // before the window was there drags nothing.
      platform::Mouse held = m;
      if (!(buttonsDown_ & platform::kLeft)) held.button &= ~platform::kLeft;
      if (annotator_.active())
        annotator_.move(held);
      else
        selection_.move(held);
      break;
    }
    case Ctl::Handle:
      if (const auto h = handles::handleAt(target.index)) resizer_.move(*h, m.x, m.y);
      break;
    case Ctl::ToolButton:
      if (const auto b = annotation::toolButtonAt(target.index)) toolbar_.buttonHovered(*b);
      break;
    case Ctl::Toolbar: toolbar_.toolbarHovered(); break;
    case Ctl::StylePanel: toolbar_.stylePanelHovered(); break;
    case Ctl::Swatch: style_.swatchHovered(target.index); break;
    case Ctl::ColorPanel: style_.colorPanelHovered(); break;
    case Ctl::SizeChooser: style_.sizeChooserHovered(); break;
    case Ctl::SizePanel: style_.sizePanelHovered(); break;
    default: break;
  }
}

void CaptureSession::mouseUp(CtlRef target, const platform::Mouse& m) {
  if (closed_) return;
  switch (target.ctl) {
    case Ctl::Window:
      // The release of a press the window never saw (the click that started
      // the program, say) neither makes a region nor ends the capture.
      if (!(buttonsDown_ & m.button)) return;
      buttonsDown_ &= ~m.button;
      annotator_.release(m);
      selection_.upTail(m);
      break;
    case Ctl::Handle: resizer_.up(); break;
    case Ctl::Swatch: style_.swatchClicked(target.index); break;
    default: break;
  }
}

void CaptureSession::dblClick(CtlRef target) {
  if (closed_ || target.ctl != Ctl::Window) return;
  buttonsDown_ |= platform::kLeft;  // it stands for the second press; its release follows
  if (region_.made() && selection_.pressedInside()) finishing_.byDoubleClick();
}

void CaptureSession::click(CtlRef target) {
  if (closed_) return;
  if (target.ctl == Ctl::ToolButton) {
    if (const auto b = annotation::toolButtonAt(target.index)) press(*b);
  }
  if (target.ctl == Ctl::SizeList) style_.sizeListChosen();
}

void CaptureSession::textChanged(CtlRef target, const std::string& utf8) {
  if (closed_) return;
  switch (target.ctl) {
    case Ctl::NoteField:
      controls_(Ctl::NoteField).takeTextFromUser(utf8);
      text_.change();
      break;
    case Ctl::SizeBox:
      style_.sizeBoxChanged(utf8);
      break;
    case Ctl::SizeList:
      controls_(Ctl::SizeList).takeTextFromUser(utf8);
      break;
    default: break;
  }
}

bool CaptureSession::keyDown(CtlRef focus, const platform::Key& key) {
  if (closed_) return false;
  const Shortcut s = shortcutFor(key);
  if (s.command == Command::Close) {  // Esc, even while typing
    close();
    return true;
  }
  // While text is typed, the other keys are the text's: arrows move its
  // caret, Ctrl+Z and Ctrl+C work on it, Enter does what the box does.
  if (focus.ctl == Ctl::NoteField || focus.ctl == Ctl::SizeBox || text_.open()) return false;
  // The mouse has the region while a button is held.
  if (buttonsDown_ != 0 || resizer_.held()) return false;
  return runShortcut(s);
}

bool CaptureSession::runShortcut(const Shortcut& s) {
  using annotation::ToolButton;
  if (s.command == Command::None) return false;
  if (s.command == Command::SelectAll) {
    // What is drawn on a region stays: as a handle would not resize it, the
    // whole screen does not replace it.
    if (!region_.made() || grabHandle()) selectRegion({0, 0, p_.screen.width(), p_.screen.height()});
    return true;
  }
  // A click without a drag makes an empty region: nothing to move, resize or copy.
  if (!region_.made() || region_.shape().pixels().empty()) return false;
  switch (s.command) {
    case Command::Copy: press(ToolButton::CopyAndClose); break;
    case Command::Save: press(ToolButton::Save); break;
    case Command::Undo: press(ToolButton::Undo); break;
    case Command::Redo: press(ToolButton::Redo); break;
    case Command::Move:
    case Command::Resize:
      // As a handle: nothing drawn yet drops the tool; a drawing pins the region.
      if (!grabHandle()) break;
      chrome_.hiddenWhileReshaping();
      if (s.command == Command::Move)
        selection_.nudge(static_cast<float>(s.dx), static_cast<float>(s.dy));
      else
        resizer_.stretch(static_cast<float>(s.dx), static_cast<float>(s.dy));
      break;
    default: return false;
  }
  return true;
}

void CaptureSession::press(annotation::ToolButton button) {
  using annotation::ToolButton;
  switch (button) {
    case ToolButton::CopyAndClose: finishing_.copyAndClose(); break;
    case ToolButton::Save: finishing_.save(); break;
    case ToolButton::Close: close(); break;
    default: toolbar_.click(button); break;
  }
}

}  // namespace tolvane::session
