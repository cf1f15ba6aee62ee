// The capture window's state: the window-level variables every handler shares.
#pragma once

#include "platform/image.h"
#include "platform/system.h"

namespace tolvane::session {

enum class SelMode { Draw, Move };             // "draw": no selection; "move": one exists
enum class HandleDrag { Idle, Start, Stop };  // Idle: never pressed yet
enum class Tool { None, Rectangle, Ellipse, Arrow, Text };

struct State {
  float OriginX = 0, OriginY = 0;  // rubber-band anchor, then the selection's Left/Top
  float DownX = 0, DownY = 0;      // last press inside SelRect while moving
  IRect SelRect;                   // Shape1 in whole pixels, taken at each press while moving
  SelMode selMode = SelMode::Draw;
  int NoExit = 0;                  // 0: a non-left release ends the program
  float GrabLeft = 0, GrabTop = 0, GrabRight = 0, GrabBottom = 0;
  HandleDrag handleDrag = HandleDrag::Idle;
  platform::IPoint CursorNow;
  bool ToolActive = false;
  Tool ToolName = Tool::None;
  bool PenDown = false;
  float StartX = 0, StartY = 0;
  int LastToolButton = 0;
  Image MemDC;  // the frozen screen, never drawn on
};

}  // namespace tolvane::session
