#include "session/shortcuts.h"

#include <gtest/gtest.h>

#include "annotation/tool_button.h"
#include "layout/design.h"
#include "texts/texts.h"

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

// "Ctrl+Shift+Z" or "Esc" as the key it names.
Key keyNamed(std::string_view name) {
  Key k;
  for (std::size_t plus; (plus = name.find('+')) != std::string_view::npos; name.remove_prefix(plus + 1)) {
    k.ctrl = k.ctrl || name.substr(0, plus) == "Ctrl";
    k.shift = k.shift || name.substr(0, plus) == "Shift";
  }
  if (name == "Esc") k.code = KeyCode::Escape;
  if (name.size() == 1 && name[0] >= 'A' && name[0] <= 'Z') {
    k.code = KeyCode::Letter;
    k.letter = static_cast<char>(name[0] - 'A' + 'a');
  }
  return k;
}

// The tooltips keep their text and name the key that does what the button does.
TEST(Shortcuts, TooltipsNameTheKeyOfTheirButton) {
  using annotation::ToolButton;
  const struct {
    ToolButton button;
    std::string_view text;
    Command command;
  } cases[] = {
      {ToolButton::Undo, "撤销", Command::Undo},
      {ToolButton::CopyAndClose, "复制退出", Command::Copy},
      {ToolButton::Save, "保存", Command::Save},
      {ToolButton::Close, "退出截屏", Command::Close},
      {ToolButton::Redo, "重做", Command::Redo},
  };
  for (const auto& c : cases) {
    const std::string_view tip = texts::kToolTips[static_cast<std::size_t>(c.button)];
    ASSERT_TRUE(tip.starts_with(std::string(c.text) + " (") && tip.ends_with(")")) << tip;
    const std::string_view key = tip.substr(c.text.size() + 2, tip.size() - c.text.size() - 3);
    EXPECT_EQ(shortcutFor(keyNamed(key)).command, c.command) << tip;
  }
  // The tools have no key.
  for (const ToolButton b : {ToolButton::Arrow, ToolButton::Text, ToolButton::Ellipse, ToolButton::Rectangle})
    EXPECT_EQ(texts::kToolTips[static_cast<std::size_t>(b)].find('('), std::string_view::npos);
}

}  // namespace
}  // namespace tolvane::session
