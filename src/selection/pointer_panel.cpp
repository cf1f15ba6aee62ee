#include "selection/pointer_panel.h"

#include <string>

#include "picture/rounding.h"
#include "platform/geometry.h"
#include "selection/split_color.h"

namespace tolvane::selection {

using platform::Ctl;

void PointerPanel::showColorAt(float x, float y) {
  const ColorRef c = dc_.getPixel(roundEven(x), roundEven(y));
  std::int32_t r = 0, g = 0, b = 0;
  splitColor(c, r, g, b);
  auto& colour = c_(Ctl::ColorLabel);
  colour.setCaption("RGB(" + std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b) + ")");
  // A region chosen before the pointer was seen shows its colour label now.
  if (c_(Ctl::SizeLabel).visible() && !colour.visible()) colour.show();
}

void PointerPanel::place() {
  const Selection& sel = region_.shape();
  auto& pos = c_(Ctl::SizeLabel);
  pos.move(sel.left + 2, sel.top + 2);
  c_(Ctl::ColorLabel).move(sel.left + 2, pos.top() + pos.height() + 2);
}

void PointerPanel::showSize() {
  const Selection& sel = region_.shape();
  c_(Ctl::SizeLabel).setCaption(shortestText(sel.width) + "x" + shortestText(sel.height));
}

void PointerPanel::setShown(bool shown) {
  c_(Ctl::SizeLabel).setVisible(shown);
  // No colour to show until the pointer has been over the window.
  auto& colour = c_(Ctl::ColorLabel);
  colour.setVisible(shown && !colour.caption().empty());
}

}  // namespace tolvane::selection
