#include "handles/handle_resizer.h"

#include "handles/handle_layout.h"
#include "selection/repaint.h"
#include "selection/selection.h"

namespace tolvane::handles {

using platform::Ctl;

int HandleResizer::pointerFor(int index) {
  constexpr int kShapes[8] = {platform::kPointerSizeNWSE, platform::kPointerSizeNS, platform::kPointerSizeNESW,
                              platform::kPointerSizeWE,   platform::kPointerSizeNESW, platform::kPointerSizeNS,
                              platform::kPointerSizeNWSE, platform::kPointerSizeWE};
  return index >= 0 && index < 8 ? kShapes[index] : platform::kPointerDefault;
}

void HandleResizer::down(int /*index*/) {
  auto& s = ss_.s;
  if (ss_.history.index() == 1) s.toolActive = false;  // nothing drawn yet: the tool is dropped
  if (s.toolActive) return;
  if (s.selMode != session::SelMode::Move) return;
  s.handleGrab = session::HandleGrab::Held;
  const auto& sel = ss_.frame();
  s.grabLeft = sel.left();
  s.grabTop = sel.top();
  s.grabRight = sel.width() + sel.left();
  s.grabBottom = sel.height() + sel.top();
  ss_.c(Ctl::Toolbar).hide();
  ss_.c(Ctl::StylePanel).hide();
  ss_.history.cutBack();
}

void HandleResizer::move(int index) {
  auto& s = ss_.s;
  ss_.p.pointer.setShape(pointerFor(index));
  if (s.handleGrab != session::HandleGrab::Held) return;
  s.cursorNow = ss_.p.screen.cursorPos();
  const double x = s.cursorNow.x, y = s.cursorNow.y;
  const double L0 = s.grabLeft, T0 = s.grabTop, R0 = s.grabRight, B0 = s.grabBottom;
  const auto& h = ss_.c(Ctl::Handle, index);
  const double w2 = h.width() / 2.0, h2 = h.height() / 2.0;
  double l = L0, t = T0, wd = R0 - L0, ht = B0 - T0;
  switch (index) {
    case 0: l = x + w2; t = y + h2; wd = R0 - x; ht = B0 - y; break;
    case 1: t = y + h2; ht = B0 - y; break;
    case 2: t = y + h2; wd = x - L0 + w2; ht = B0 - y; break;
    case 3: l = x + w2; wd = R0 - x; break;
    case 4: l = x + w2; wd = R0 - x; ht = y - T0; break;
    case 5: ht = y - T0; break;
    case 6: wd = x - L0; ht = y - T0; break;
    case 7: wd = x - L0; break;
    default: return;
  }
  // The handle's offsets can push an edge a few pixels past the screen; the
  // region never reaches beyond what was captured. A negative size is
  // refused: the selection keeps the previous step's geometry.
  const selection::Selection resized{static_cast<float>(l), static_cast<float>(t), static_cast<float>(wd),
                                     static_cast<float>(ht)};
  show(ss_.frame(), resized.heldOn(ss_.screenWidth(), ss_.screenHeight()));
  placeHandles(ss_.c);
  panel_.showSize();
  panel_.place();
  s.originX = ss_.frame().left();
  s.originY = ss_.frame().top();
  selection::repaintSelection(ss_);
}

void HandleResizer::up(int /*index*/) {
  ss_.s.handleGrab = session::HandleGrab::Released;
  selection::placeToolbar(ss_);
  ss_.c(Ctl::Toolbar).show();
}

}  // namespace tolvane::handles
