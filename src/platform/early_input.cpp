#include "platform/early_input.h"

namespace tolvane::platform {

void EarlyInput::press(int button, int x, int y) {
  // Only a left drag is carried on; the other buttons act on a region, and
  // there is none yet.
  if (button != kLeft) return;
  pressed_ = held_ = true;
  pressX_ = lastX_ = x;
  pressY_ = lastY_ = y;
}

void EarlyInput::motion(int x, int y) {
  if (!held_) return;
  lastX_ = x;
  lastY_ = y;
}

void EarlyInput::release(int button, int x, int y) {
  if (button != kLeft || !held_) return;
  held_ = false;
  lastX_ = x;
  lastY_ = y;
}

void EarlyInput::replay(EventSink& sink) const {
  constexpr CtlRef kWindow{Ctl::Window, -1};
  if (escape_) {
    sink.keyDown(kWindow, Key{KeyCode::Escape});
    return;
  }
  if (!pressed_) return;
  const auto at = [](int button, int x, int y) {
    Mouse m;
    m.button = button;
    m.x = static_cast<float>(x);
    m.y = static_cast<float>(y);
    return m;
  };
  sink.mouseDown(kWindow, at(kLeft, pressX_, pressY_));
  if (lastX_ != pressX_ || lastY_ != pressY_) sink.mouseMove(kWindow, at(kLeft, lastX_, lastY_));
  if (!held_) sink.mouseUp(kWindow, at(kLeft, lastX_, lastY_));
}

}  // namespace tolvane::platform
