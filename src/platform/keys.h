// A key press as the capture logic sees it, whatever the window system.
#pragma once

namespace tolvane::platform {

enum class KeyCode { Other, Escape, Enter, Left, Right, Up, Down, Letter };

struct Key {
  KeyCode code = KeyCode::Other;
  char letter = 0;  // 'a' to 'z' when code is Letter, whatever the case typed
  bool ctrl = false, shift = false, alt = false;
};

}  // namespace tolvane::platform
