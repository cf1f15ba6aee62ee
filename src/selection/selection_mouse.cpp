#include "selection/selection_mouse.h"

#include "handles/handle_layout.h"
#include "platform/geometry.h"
#include "selection/repaint.h"
#include "selection/selection.h"

namespace tolvane::selection {

using platform::Ctl;
using session::SelMode;

void SelectionMouse::cancel(float x, float y) {
  auto& c = ss_.c;
  auto& sel = ss_.frame();
  sel.setWidth(0);
  sel.setHeight(0);
  ss_.s.originX = x;
  ss_.s.originY = y;
  sel.move(x, y);
  sel.hide();
  c(Ctl::SizeLabel).hide();
  c(Ctl::ColorLabel).hide();
  for (int i = 0; i < 8; ++i) c(Ctl::Handle, i).hide();
  ss_.p.pointer.setShape(platform::kPointerDefault);
  ss_.s.selMode = SelMode::Draw;
  ss_.s.releaseEnds = false;
}

void SelectionMouse::down(const platform::Mouse& m) {
  auto& s = ss_.s;
  auto& sel = ss_.frame();
  ss_.c(Ctl::Toolbar).hide();
  if (s.selMode == SelMode::Draw) {
    sel.show();
    sel.setWidth(0);
    sel.setHeight(0);
    // Another button pressed during a band's drag starts afresh: the
    // handles of the unfinished band go.
    for (int i = 0; i < 8; ++i) ss_.c(Ctl::Handle, i).hide();
    s.originX = m.x;
    s.originY = m.y;
    sel.move(s.originX, s.originY);
    if (m.button == platform::kRight) s.releaseEnds = true;
    return;
  }
  ss_.p.pointer.setShape(platform::kPointerCross);
  s.selRect = selectionOf(sel).pixels();
  if (s.selRect.contains(roundEven(m.x), roundEven(m.y))) {
    s.downX = m.x;
    s.downY = m.y;
    if (m.button == platform::kRight) cancel(m.x, m.y);
  } else {
    cancel(m.x, m.y);
  }
}

void SelectionMouse::move(const platform::Mouse& m) {
  auto& s = ss_.s;
  auto& c = ss_.c;
  auto& sel = ss_.frame();
  const float X = m.x, Y = m.y;
  const bool inside = selectionOf(sel).strictlyInside(X, Y);
  ss_.p.pointer.setShape(inside ? platform::kPointerMove : platform::kPointerCross);
  if (m.button != platform::kLeft) return;

  sel.hide();
  c(Ctl::SizeLabel).hide();
  c(Ctl::ColorLabel).hide();
  if (s.selMode == SelMode::Draw) {
    const float ox = s.originX, oy = s.originY;
    // On the anchor's row or column the outline keeps its geometry.
    if (X > ox && Y > oy) sel.move(ox, oy, X - ox, Y - oy);
    else if (X < ox && Y > oy) sel.move(X, oy, ox - X, Y - oy);
    else if (X > ox && Y < oy) sel.move(ox, Y, X - ox, oy - Y);
    else if (X < ox && Y < oy) sel.move(X, Y, ox - X, oy - Y);
    panel_.place();
    panel_.showSize();
    ss_.p.pointer.setShape(platform::kPointerCross);
  } else {
    ss_.p.pointer.setShape(platform::kPointerMove);
    show(sel, selectionOf(sel).movedTo(s.originX - (s.downX - X), s.originY - (s.downY - Y), ss_.screenWidth(),
                                       ss_.screenHeight()));
    panel_.place();
  }
  handles::placeHandles(c);
  sel.show();
  c(Ctl::SizeLabel).show();
  c(Ctl::ColorLabel).show();
  repaintSelection(ss_);
}

void SelectionMouse::upTail(const platform::Mouse& m) {
  auto& s = ss_.s;
  if (m.button != platform::kLeft) {
    if (s.releaseEnds) close_();
    return;
  }
  if (s.selMode == SelMode::Draw) s.selMode = SelMode::Move;
  s.originX = ss_.frame().left();
  s.originY = ss_.frame().top();
  placeToolbar(ss_);
  ss_.c(Ctl::Toolbar).show();
}

}  // namespace tolvane::selection
