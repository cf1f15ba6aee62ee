#include "output/finish.h"

#include "platform/geometry.h"

namespace tolvane::output {

using platform::Ctl;

// Minimal path; the save dialog and encoders come next.
void Finisher::DblClick() {
  auto& s = ss_.s;
  if (!s.SelRect.contains(roundEven(s.DownX), roundEven(s.DownY))) return;
  ss_.c(Ctl::Picture1).hide();
  ss_.p.app.sleep(10);
  ss_.p.app.doEvents();
  auto& sel = ss_.shape1();
  sel.hide();
  const float l = sel.left(), t = sel.top();
  ScrnCap(roundEven(l), roundEven(t), roundEven(l + sel.width()), roundEven(t + sel.height()));
  CutdSave();
  close_();
}

void Finisher::ScrnCap(int left, int top, int Right, int Bottom) {
  auto& c = ss_.c;
  c(Ctl::Shape1).hide();
  c(Ctl::LblPos).hide();
  c(Ctl::lblInfo).hide();
  for (int i = 0; i < 8; ++i) c(Ctl::Image1, i).hide();
  ss_.p.app.doEvents();
  captured_ = ss_.p.surface.image().copy({left, top, Right, Bottom});
  ss_.p.clipboard.setImage(captured_);
}

void Finisher::CutdSave() {}

}  // namespace tolvane::output
