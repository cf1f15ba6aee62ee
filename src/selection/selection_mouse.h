// The window's mouse while no tool is chosen: draw, move and cancel the
// selection, and leave with the right button.
#pragma once

#include <functional>

#include "platform/events.h"
#include "selection/pointer_panel.h"
#include "session/context.h"

namespace tolvane::selection {

class SelectionMouse {
 public:
  SelectionMouse(session::Session& ss, PointerPanel& panel, std::function<void()> close)
      : ss_(ss), panel_(panel), close_(std::move(close)) {}

  void down(const platform::Mouse& m);
  // After the colour label was updated.
  void move(const platform::Mouse& m);
  // The tail of every release, drawing or not: exit on a non-left button,
  // otherwise the selection is made and the toolbar placed.
  void upTail(const platform::Mouse& m);

 private:
  void cancel(float x, float y);
  session::Session& ss_;
  PointerPanel& panel_;
  std::function<void()> close_;
};

}  // namespace tolvane::selection
