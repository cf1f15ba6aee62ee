#include "selection/chrome.h"

namespace tolvane::selection {

using platform::Ctl;

void Chrome::showHandles(bool shown) {
  for (int i = 0; i < 8; ++i) c_(Ctl::Handle, i).setVisible(shown);
}

// The toolbar goes 4 pixels below the region, right-aligned with it, or
// inside its bottom edge when the screen has no room below; never left of 0.
void Chrome::placeToolbar() {
  const Selection& s = region_.shape();
  auto& bar = c_(Ctl::Toolbar);
  const float bottom = s.bottom();
  const float right = s.right();
  if (region_.screenHeight() < bottom + 4 + bar.height())
    bar.move(right - bar.width(), bottom - bar.height() - 4);
  else
    bar.move(right - bar.width(), bottom + 4);
  if (bar.left() < 0) bar.setLeft(0);
}

void Chrome::hiddenAtStart() {
  auto& bar = c_(Ctl::Toolbar);
  bar.setTop(-bar.height());
  bar.hide();
}

void Chrome::hiddenWhilePressed() { c_(Ctl::Toolbar).hide(); }

void Chrome::shownForBand() {
  c_(Ctl::SelectionFrame).show();
  showHandles(false);
}

void Chrome::shownWhileChanging() {
  labels_.place();
  showHandles(true);
  c_(Ctl::SelectionFrame).show();
  labels_.setShown(true);
}

void Chrome::hiddenWhileReshaping() {
  c_(Ctl::Toolbar).hide();
  c_(Ctl::StylePanel).hide();
}

void Chrome::shownAfterSelect() {
  placeToolbar();
  c_(Ctl::Toolbar).show();
}

void Chrome::hiddenAfterCancel() {
  c_(Ctl::SelectionFrame).hide();
  labels_.setShown(false);
  showHandles(false);
}

void Chrome::hiddenForSelecting() {
  hiddenWhileReshaping();
  hiddenAfterCancel();
}

void Chrome::hiddenForCapture() {
  toolbarWas_ = c_(Ctl::Toolbar).visible();
  panelWas_ = c_(Ctl::StylePanel).visible();
  frameWas_ = c_(Ctl::SelectionFrame).visible();
  hiddenForSelecting();
}

void Chrome::restore() {
  if (toolbarWas_) c_(Ctl::Toolbar).show();
  if (panelWas_) c_(Ctl::StylePanel).show();
  if (frameWas_) c_(Ctl::SelectionFrame).show();
}

}  // namespace tolvane::selection
