#include "platform/pointer_router.h"

#include <new>

namespace tolvane::platform {

void EventRelay::send(const std::function<void(EventSink&)>& f) {
  if (!sink_) return;
  std::string failure;
  try {
    f(*sink_);
  } catch (const std::bad_alloc&) {
    failure = outOfMemory_;
  } catch (const std::exception& e) {
    failure = e.what();
  }
  if (!failure.empty() && onFailure) onFailure(failure);
  if (surface_) surface_->settleDamage();
}

void PointerRouter::press(CtlRef over, const Mouse& m) {
  if (!m.button) return;
  const CtlRef to = target(over);
  captured_ = to;
  held_ |= m.button;
  if (m.button == kLeft) clickArmed_ = to.ctl != Ctl::Window;
  relay_.send([&](EventSink& s) { s.mouseDown(to, m); });
}

void PointerRouter::move(CtlRef over, const Mouse& m) {
  if (!m.button) held_ = 0;
  const CtlRef to = target(over);
  relay_.send([&](EventSink& s) { s.mouseMove(to, m); });
}

void PointerRouter::release(CtlRef over, const Mouse& m) {
  if (!m.button) return;
  const CtlRef to = target(over);
  held_ &= ~m.button;
  const bool click = m.button == kLeft && clickArmed_ && over == to;
  if (m.button == kLeft) clickArmed_ = false;
  relay_.send([&](EventSink& s) { s.mouseUp(to, m); });
  if (click) relay_.send([&](EventSink& s) { s.click(to); });
}

void PointerRouter::doubleClick(CtlRef over, const Mouse& m) {
  if (m.button != kLeft) {
    press(over, m);
    return;
  }
  const CtlRef to = target(over);
  captured_ = to;
  held_ |= kLeft;
  clickArmed_ = false;  // the second release of a double click is no click
  relay_.send([&](EventSink& s) { s.dblClick(to); });
}

}  // namespace tolvane::platform
