#include "layout/controls.h"

#include <stdexcept>

#include "layout/design.h"

namespace tolvane::layout {

bool Control::move(float left, float top, float width, float height) {
  if (width < 0 || height < 0) return false;
  s_.left = left;
  s_.top = top;
  s_.width = width;
  s_.height = height;
  notify(Prop::Geometry);
  return true;
}

Controls::Controls(platform::ControlView* view) : view_(view) {
  for (auto& s : designedControls()) {
    index_[{s.ref.ctl, s.ref.index}] = list_.size();
    list_.emplace_back(std::move(s), view);
  }
}

Control& Controls::operator()(Ctl ctl, int index) {
  const auto it = index_.find({ctl, index});
  if (it == index_.end()) throw std::out_of_range("no such control");
  return list_[it->second];
}

const Control& Controls::operator()(Ctl ctl, int index) const {
  return const_cast<Controls&>(*this)(ctl, index);
}

}  // namespace tolvane::layout
