#include "selection/selection_mouse.h"

#include "handles/handle_layout.h"
#include "platform/geometry.h"
#include "selection/repaint.h"

namespace tolvane::selection {

using platform::Ctl;
using session::SelMode;

void SelectionMouse::cancel(float x, float y) {
  auto& c = ss_.c;
  auto& sel = ss_.shape1();
  sel.setWidth(0);
  sel.setHeight(0);
  ss_.s.OriginX = x;
  ss_.s.OriginY = y;
  sel.move(x, y);
  sel.hide();
  c(Ctl::LblPos).hide();
  c(Ctl::lblInfo).hide();
  for (int i = 0; i < 8; ++i) c(Ctl::Image1, i).hide();
  ss_.p.pointer.setShape(platform::kPointerDefault);
  ss_.s.selMode = SelMode::Draw;
  ss_.s.NoExit = 1;
}

void SelectionMouse::down(const platform::Mouse& m) {
  auto& s = ss_.s;
  auto& sel = ss_.shape1();
  ss_.c(Ctl::Picture1).hide();
  if (s.selMode == SelMode::Draw) {
    sel.show();
    sel.setWidth(0);
    sel.setHeight(0);
    // Another button pressed during a band's drag starts afresh: the
    // handles of the unfinished band go.
    for (int i = 0; i < 8; ++i) ss_.c(Ctl::Image1, i).hide();
    s.OriginX = m.x;
    s.OriginY = m.y;
    sel.move(s.OriginX, s.OriginY);
    if (m.button == platform::kRight) s.NoExit = 0;
    return;
  }
  ss_.p.pointer.setShape(platform::kPointerCross);
  s.SelRect = {roundEven(sel.left()), roundEven(sel.top()), roundEven(sel.left() + sel.width()),
               roundEven(sel.top() + sel.height())};
  if (s.SelRect.contains(roundEven(m.x), roundEven(m.y))) {
    s.DownX = m.x;
    s.DownY = m.y;
    if (m.button == platform::kRight) cancel(m.x, m.y);
  } else {
    cancel(m.x, m.y);
  }
}

void SelectionMouse::move(const platform::Mouse& m) {
  auto& s = ss_.s;
  auto& c = ss_.c;
  auto& sel = ss_.shape1();
  const float X = m.x, Y = m.y;
  const bool inside = X > sel.left() && X < sel.left() + sel.width() && Y > sel.top() && Y < sel.top() + sel.height();
  ss_.p.pointer.setShape(inside ? platform::kPointerMove : platform::kPointerCross);
  if (m.button != platform::kLeft) return;

  sel.hide();
  c(Ctl::LblPos).hide();
  c(Ctl::lblInfo).hide();
  if (s.selMode == SelMode::Draw) {
    const float ox = s.OriginX, oy = s.OriginY;
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
    sel.setLeft(s.OriginX - (s.DownX - X));
    sel.setTop(s.OriginY - (s.DownY - Y));
    const float sw = ss_.screenWidth(), sh = ss_.screenHeight();
    if (sel.left() < 0) sel.setLeft(0);
    if (sel.top() < 0) sel.setTop(0);
    if (sw < sel.width() + sel.left()) sel.setLeft(sw - sel.width());
    if (sh < sel.height() + sel.top()) sel.setTop(sh - sel.height());
    panel_.place();
  }
  handles::ImageMove(c);
  sel.show();
  c(Ctl::LblPos).show();
  c(Ctl::lblInfo).show();
  repaintSelection(ss_);
}

void SelectionMouse::upTail(const platform::Mouse& m) {
  auto& s = ss_.s;
  if (m.button != platform::kLeft) {
    if (s.NoExit == 0) close_();
    return;
  }
  if (s.selMode == SelMode::Draw) s.selMode = SelMode::Move;
  s.OriginX = ss_.shape1().left();
  s.OriginY = ss_.shape1().top();
  placeToolbar(ss_);
  ss_.c(Ctl::Picture1).show();
}

}  // namespace tolvane::selection
