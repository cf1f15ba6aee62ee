#include "selection/selection_mouse.h"

#include "picture/rounding.h"

namespace tolvane::selection {

void SelectionMouse::cancel(float x, float y) {
  region_.drop();
  region_.reshape({x, y, 0, 0});
  anchorX_ = x;
  anchorY_ = y;
  chrome_.hiddenAfterCancel();
  pointer_.setShape(platform::PointerShape::Default);
  releaseEnds_ = false;
  pressedInside_ = false;
}

void SelectionMouse::down(const platform::Mouse& m) {
  chrome_.hiddenWhilePressed();
  if (!region_.made()) {
    // Another button pressed during a band's drag starts afresh: the
    // handles of the unfinished band go.
    region_.reshape({m.x, m.y, 0, 0});
    chrome_.shownForBand();
    anchorX_ = m.x;
    anchorY_ = m.y;
    pressedInside_ = false;
    if (m.button == platform::kRight) releaseEnds_ = true;
    return;
  }
  pointer_.setShape(platform::PointerShape::Cross);
  if (region_.shape().pixels().contains(roundEven(m.x), roundEven(m.y))) {
    grabX_ = region_.shape().left;
    grabY_ = region_.shape().top;
    downX_ = m.x;
    downY_ = m.y;
    pressedInside_ = true;
    if (m.button == platform::kRight) cancel(m.x, m.y);
  } else {
    cancel(m.x, m.y);
  }
}

void SelectionMouse::drawBand(float X, float Y) {
  const float ox = anchorX_, oy = anchorY_;
  // On the anchor's row or column the outline keeps its geometry.
  if (X > ox && Y > oy) region_.reshape({ox, oy, X - ox, Y - oy});
  else if (X < ox && Y > oy) region_.reshape({X, oy, ox - X, Y - oy});
  else if (X > ox && Y < oy) region_.reshape({ox, Y, X - ox, oy - Y});
  else if (X < ox && Y < oy) region_.reshape({X, Y, ox - X, oy - Y});
}

void SelectionMouse::move(const platform::Mouse& m) {
  const bool inside = region_.shape().strictlyInside(m.x, m.y);
  pointer_.setShape(inside ? platform::PointerShape::Move : platform::PointerShape::Cross);
  if (m.button != platform::kLeft) return;
  if (!region_.made()) {
    drawBand(m.x, m.y);
    panel_.showSize();
    pointer_.setShape(platform::PointerShape::Cross);
  } else {
    pointer_.setShape(platform::PointerShape::Move);
    region_.reshape(region_.shape().movedTo(grabX_ - (downX_ - m.x), grabY_ - (downY_ - m.y), region_.screenWidth(),
                                            region_.screenHeight()));
  }
  showRegion();
}

void SelectionMouse::showRegion() {
  chrome_.shownWhileChanging();
  backdrop_.repaint(region_.shape());
}

void SelectionMouse::upTail(const platform::Mouse& m) {
  if (m.button != platform::kLeft) {
    if (releaseEnds_) close_();
    return;
  }
  region_.make();
  chrome_.shownAfterSelect();
}

void SelectionMouse::nudge(float dx, float dy) {
  const Selection& s = region_.shape();
  region_.reshape(s.movedTo(s.left + dx, s.top + dy, region_.screenWidth(), region_.screenHeight()));
  showRegion();
  chrome_.shownAfterSelect();
}

void SelectionMouse::select(const Selection& s) {
  chrome_.hiddenWhilePressed();
  region_.drop();
  region_.reshape(s.heldOn(region_.screenWidth(), region_.screenHeight()));
  panel_.showSize();
  showRegion();
  pressedInside_ = false;
  region_.make();
  chrome_.shownAfterSelect();
}

}  // namespace tolvane::selection
