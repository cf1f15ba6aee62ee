#include "selection/drawing_mouse.h"

#include "annotation/shapes.h"
#include "selection/repaint.h"
#include "selection/selection.h"

namespace tolvane::selection {

using platform::Ctl;
using session::Tool;

float DrawingMouse::clampX(float x) const { return selectionOf(ss_.frame()).holdX(x); }

float DrawingMouse::clampY(float y) const { return selectionOf(ss_.frame()).holdY(y); }

void DrawingMouse::down(const platform::Mouse& m) {
  if (!selectionOf(ss_.frame()).strictlyInside(m.x, m.y)) return;
  ss_.s.penDown = true;
  ss_.p.surface.setPersistent(false);
  ss_.s.startX = m.x;
  ss_.s.startY = m.y;
}

void DrawingMouse::move(const platform::Mouse& m) {
  auto& s = ss_.s;
  if (!s.penDown) return;
  if (s.tool == Tool::Text) return;  // the open text box is left alone
  ss_.p.surface.clear();
  annotation::drawShape(s.tool, ss_.p.surface, s.startX, s.startY, clampX(m.x), clampY(m.y),
                        style_.currentColor());
}

void DrawingMouse::push() {
  ss_.s.penDown = false;
  ss_.history.push(ss_.p.surface, undimmedRect(ss_));
}

void DrawingMouse::commitOpenText() {
  auto& s = ss_.s;
  if (s.tool != Tool::Text || !s.penDown || !ss_.c(Ctl::TextEditor).visible()) return;
  ss_.p.surface.setPersistent(true);
  text_.commit();
  push();
}

void DrawingMouse::commit(const platform::Mouse& m) {
  auto& s = ss_.s;
  ss_.p.surface.setPersistent(true);
  const float ex = clampX(m.x), ey = clampY(m.y);
  if (s.tool == Tool::Text) {
    if (!ss_.c(Ctl::TextEditor).visible()) {
      text_.place(m.x, m.y);  // the next release commits
      return;
    }
    text_.commit();
    push();
    return;
  }
  annotation::drawShape(s.tool, ss_.p.surface, s.startX, s.startY, ex, ey, style_.currentColor());
  push();
}

}  // namespace tolvane::selection
