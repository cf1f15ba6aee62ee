// Input that reached the start-up window before the capture window was up,
// kept so that the capture window can carry on from it.
#pragma once

#include "platform/events.h"

namespace tolvane::platform {

class EarlyInput {
 public:
  void escape() { escape_ = true; }
  // Buttons as the platform's: kLeft, kRight, kMiddle. Coordinates are screen pixels.
  void press(int button, int x, int y);
  void motion(int x, int y);
  void release(int button, int x, int y);

  bool escaped() const { return escape_; }
  bool pressed() const { return pressed_; }
  // The left button went down and has not come up yet.
  bool leftHeld() const { return held_; }

  // Hands it on as the capture window's own events: Esc alone ends the
  // capture; otherwise the last left press, a move to where the pointer went
  // since (or came up), and the release when it came.
  void replay(EventSink& sink) const;

 private:
  bool escape_ = false;
  bool pressed_ = false, held_ = false;
  int pressX_ = 0, pressY_ = 0, lastX_ = 0, lastY_ = 0;
};

// The window that shows the frozen screen under the veil while the capture
// window is being made. Closing it lets keyboard and pointer go and hands on
// what they did meanwhile.
class StartUpVeil {
 public:
  virtual ~StartUpVeil() = default;
  virtual EarlyInput close() = 0;
};

}  // namespace tolvane::platform
