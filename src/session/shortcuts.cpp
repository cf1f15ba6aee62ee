#include "session/shortcuts.h"

namespace tolvane::session {

namespace {

using platform::Key;
using platform::KeyCode;

Shortcut arrow(const Key& key) {
  int dx = 0, dy = 0;
  switch (key.code) {
    case KeyCode::Left: dx = -1; break;
    case KeyCode::Right: dx = 1; break;
    case KeyCode::Up: dy = -1; break;
    case KeyCode::Down: dy = 1; break;
    default: return {};
  }
  if (key.ctrl) return {Command::Resize, dx, dy};  // the bottom-right corner, a pixel at a time
  const int step = key.shift ? 10 : 1;
  return {Command::Move, dx * step, dy * step};
}

Shortcut withCtrl(const Key& key) {
  if (key.code != KeyCode::Letter) return {};
  switch (key.letter) {
    case 'c': return {Command::Copy};
    case 's': return {Command::Save};
    case 'z': return {key.shift ? Command::Redo : Command::Undo};
    case 'y': return {Command::Redo};
    case 'a': return {Command::SelectAll};
    default: return {};
  }
}

}  // namespace

Shortcut shortcutFor(const Key& key) {
  if (key.code == KeyCode::Escape) return {Command::Close};
  if (key.alt) return {};
  if (key.code == KeyCode::Enter) return key.ctrl ? Shortcut{} : Shortcut{Command::Copy};
  if (key.ctrl && key.code == KeyCode::Letter) return withCtrl(key);
  return arrow(key);
}

}  // namespace tolvane::session
