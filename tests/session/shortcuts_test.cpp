#include "session/shortcuts.h"

#include <gtest/gtest.h>

namespace tolvane::session {
namespace {

using platform::Key;
using platform::KeyCode;

Key letter(char c, bool ctrl, bool shift = false) { return {KeyCode::Letter, c, ctrl, shift, false}; }
Key code(KeyCode k, bool ctrl = false, bool shift = false) { return {k, 0, ctrl, shift, false}; }

struct Case {
  const char* name;
  Key key;
  Command command;
  int dx = 0, dy = 0;
};

TEST(Shortcuts, KeyMap) {
  const Case cases[] = {
      {"Esc", code(KeyCode::Escape), Command::Close},
      {"Esc with modifiers still closes", code(KeyCode::Escape, true, true), Command::Close},
      {"Enter copies", code(KeyCode::Enter), Command::Copy},
      {"Shift+Enter copies", code(KeyCode::Enter, false, true), Command::Copy},
      {"Ctrl+Enter is nothing", code(KeyCode::Enter, true), Command::None},
      {"Ctrl+C", letter('c', true), Command::Copy},
      {"Ctrl+S", letter('s', true), Command::Save},
      {"Ctrl+Z", letter('z', true), Command::Undo},
      {"Ctrl+Shift+Z", letter('z', true, true), Command::Redo},
      {"Ctrl+Y", letter('y', true), Command::Redo},
      {"Ctrl+A", letter('a', true), Command::SelectAll},
      {"plain c is typing, not a copy", letter('c', false), Command::None},
      {"plain z", letter('z', false), Command::None},
      {"Ctrl+Q is nothing", letter('q', true), Command::None},
      {"Left", code(KeyCode::Left), Command::Move, -1, 0},
      {"Right", code(KeyCode::Right), Command::Move, 1, 0},
      {"Up", code(KeyCode::Up), Command::Move, 0, -1},
      {"Down", code(KeyCode::Down), Command::Move, 0, 1},
      {"Shift+Left", code(KeyCode::Left, false, true), Command::Move, -10, 0},
      {"Shift+Down", code(KeyCode::Down, false, true), Command::Move, 0, 10},
      {"Ctrl+Right grows", code(KeyCode::Right, true), Command::Resize, 1, 0},
      {"Ctrl+Left shrinks", code(KeyCode::Left, true), Command::Resize, -1, 0},
      {"Ctrl+Up", code(KeyCode::Up, true), Command::Resize, 0, -1},
      {"Ctrl+Down", code(KeyCode::Down, true), Command::Resize, 0, 1},
      {"other keys", code(KeyCode::Other), Command::None},
  };
  for (const auto& c : cases) {
    const Shortcut s = shortcutFor(c.key);
    EXPECT_EQ(s.command, c.command) << c.name;
    EXPECT_EQ(s.dx, c.dx) << c.name;
    EXPECT_EQ(s.dy, c.dy) << c.name;
  }
}

TEST(Shortcuts, AltTurnsEveryKeyButEscOff) {
  for (const Key k : {letter('c', true), code(KeyCode::Enter), code(KeyCode::Left), letter('s', true)}) {
    Key withAlt = k;
    withAlt.alt = true;
    EXPECT_EQ(shortcutFor(withAlt).command, Command::None);
  }
  EXPECT_EQ(shortcutFor({KeyCode::Escape, 0, false, false, true}).command, Command::Close);
}

}  // namespace
}  // namespace tolvane::session
