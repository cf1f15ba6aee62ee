// The capture window's state: the window-level variables every handler shares.
#pragma once

#include "platform/image.h"
#include "platform/system.h"

namespace tolvane::session {

enum class SelMode { Draw, Move };             // "draw": no selection; "move": one exists
enum class HandleGrab { Idle, Held, Released };  // Idle: no handle pressed yet
enum class Tool { None, Rectangle, Ellipse, Arrow, Text };

struct State {
  float originX = 0, originY = 0;  // rubber-band anchor, then the selection's Left/Top
  float downX = 0, downY = 0;      // last press inside selRect while moving
  IRect selRect;                   // SelectionFrame in whole pixels, taken at each press while moving
  SelMode selMode = SelMode::Draw;
  bool releaseEnds = true;         // a release of any button but the left ends the capture; a cancel clears it
  float grabLeft = 0, grabTop = 0, grabRight = 0, grabBottom = 0;
  HandleGrab handleGrab = HandleGrab::Idle;
  platform::IPoint cursorNow;
  bool toolActive = false;
  Tool tool = Tool::None;
  bool penDown = false;
  float startX = 0, startY = 0;
  int lastToolButton = 0;
  Image frozen;  // the frozen screen, never drawn on
};

}  // namespace tolvane::session
