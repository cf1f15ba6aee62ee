// Events the window system delivers to the capture window, one at a time.
#pragma once

#include <string>

#include "platform/controls.h"
#include "platform/keys.h"

namespace tolvane::platform {

enum MouseButton : int { kLeft = 1, kRight = 2, kMiddle = 4 };

struct Mouse {
  int button = 0;  // press/release: the one button; move: the set held
  int shift = 0;
  float x = 0, y = 0;  // the pointer in the window's pixels (the picture's), whatever the target
};

class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void mouseDown(CtlRef target, const Mouse& m) = 0;
  virtual void mouseMove(CtlRef target, const Mouse& m) = 0;
  virtual void mouseUp(CtlRef target, const Mouse& m) = 0;
  virtual void dblClick(CtlRef target) = 0;
  virtual void click(CtlRef target) = 0;  // press and release on one control; SizeList: an item chosen
  // The user changed a text box's text (NoteField, SizeBox) or chose a combo item (SizeList).
  virtual void textChanged(CtlRef target, const std::string& utf8) = 0;
  // A key pressed. `focus` is the control that holds the keyboard: a text
  // box (NoteField, SizeBox) or the window. Returns whether the key was used;
  // a key not used goes on to the control with the focus.
  virtual bool keyDown(CtlRef focus, const Key& key) = 0;
};

}  // namespace tolvane::platform
