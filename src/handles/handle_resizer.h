// Resizing the selection by its eight handles.
#pragma once

#include "selection/pointer_panel.h"
#include "session/context.h"

namespace tolvane::handles {

class HandleResizer {
 public:
  HandleResizer(session::Session& ss, selection::PointerPanel& panel) : ss_(ss), panel_(panel) {}

  void down(int index);
  void move(int index);
  void up(int index);

  // The pointer shape over handle `index`.
  static int pointerFor(int index);

 private:
  session::Session& ss_;
  selection::PointerPanel& panel_;
};

}  // namespace tolvane::handles
