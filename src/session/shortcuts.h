// The keyboard's commands while a capture runs.
#pragma once

#include "platform/keys.h"

namespace tolvane::session {

enum class Command { None, Close, Copy, Save, Undo, Redo, Move, Resize, SelectAll };

struct Shortcut {
  Command command = Command::None;
  int dx = 0, dy = 0;  // Move and Resize: the step in pixels
};

// What a key does; Command::None for keys that do nothing.
Shortcut shortcutFor(const platform::Key& key);

}  // namespace tolvane::session
