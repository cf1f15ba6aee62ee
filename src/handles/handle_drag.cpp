#include "handles/handle_drag.h"

#include "handles/handle_layout.h"
#include "selection/repaint.h"

namespace tolvane::handles {

using platform::Ctl;

int HandleDrag::pointerFor(int index) {
  constexpr int kShapes[8] = {platform::kPointerSizeNWSE, platform::kPointerSizeNS, platform::kPointerSizeNESW,
                              platform::kPointerSizeWE,   platform::kPointerSizeNESW, platform::kPointerSizeNS,
                              platform::kPointerSizeNWSE, platform::kPointerSizeWE};
  return index >= 0 && index < 8 ? kShapes[index] : platform::kPointerDefault;
}

void HandleDrag::down(int /*index*/) {
  auto& s = ss_.s;
  if (ss_.history.index() == 1) s.ToolActive = false;  // nothing drawn yet: the tool is dropped
  if (s.ToolActive) return;
  if (s.selMode != session::SelMode::Move) return;
  s.handleDrag = session::HandleDrag::Start;
  const auto& sel = ss_.shape1();
  s.GrabLeft = sel.left();
  s.GrabTop = sel.top();
  s.GrabRight = sel.width() + sel.left();
  s.GrabBottom = sel.height() + sel.top();
  ss_.c(Ctl::Picture1).hide();
  ss_.c(Ctl::Picture2).hide();
  ss_.history.cutBack();
}

void HandleDrag::move(int index) {
  auto& s = ss_.s;
  ss_.p.pointer.setShape(pointerFor(index));
  if (s.handleDrag != session::HandleDrag::Start) return;
  s.CursorNow = ss_.p.screen.cursorPos();
  const double x = s.CursorNow.x, y = s.CursorNow.y;
  const double L0 = s.GrabLeft, T0 = s.GrabTop, R0 = s.GrabRight, B0 = s.GrabBottom;
  const auto& h = ss_.c(Ctl::Image1, index);
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
  // region never reaches beyond what was captured.
  const double sw = ss_.screenWidth(), sh = ss_.screenHeight();
  if (l < 0) wd += l, l = 0;
  if (t < 0) ht += t, t = 0;
  if (wd >= 0 && l + wd > sw) wd = sw - l;
  if (ht >= 0 && t + ht > sh) ht = sh - t;
  // A negative size is rejected: the selection keeps the previous step's geometry.
  ss_.shape1().move(static_cast<float>(l), static_cast<float>(t), static_cast<float>(wd), static_cast<float>(ht));
  ImageMove(ss_.c);
  panel_.showSize();
  panel_.place();
  s.OriginX = ss_.shape1().left();
  s.OriginY = ss_.shape1().top();
  selection::repaintSelection(ss_);
}

void HandleDrag::up(int /*index*/) {
  ss_.s.handleDrag = session::HandleDrag::Stop;
  selection::placeToolbar(ss_);
  ss_.c(Ctl::Picture1).show();
}

}  // namespace tolvane::handles
