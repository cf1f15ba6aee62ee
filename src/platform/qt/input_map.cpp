#include "platform/qt/input_map.h"

#include <QMouseEvent>

namespace tolvane::platform::qt {

int buttonBit(Qt::MouseButton b) {
  switch (b) {
    case Qt::LeftButton: return kLeft;
    case Qt::RightButton: return kRight;
    case Qt::MiddleButton: return kMiddle;
    default: return 0;
  }
}

int buttonSet(Qt::MouseButtons bs) {
  int out = 0;
  if (bs & Qt::LeftButton) out |= kLeft;
  if (bs & Qt::RightButton) out |= kRight;
  if (bs & Qt::MiddleButton) out |= kMiddle;
  return out;
}

int shiftState(Qt::KeyboardModifiers m) {
  int out = 0;
  if (m & Qt::ShiftModifier) out |= 1;
  if (m & Qt::ControlModifier) out |= 2;
  if (m & Qt::AltModifier) out |= 4;
  return out;
}

Mouse mouseFrom(const QMouseEvent& e, bool press) {
  Mouse m;
  m.button = press ? buttonBit(e.button()) : buttonSet(e.buttons());
  m.shift = shiftState(e.modifiers());
  m.x = static_cast<float>(e.position().x());
  m.y = static_cast<float>(e.position().y());
  return m;
}

Key keyFrom(int qtKey, Qt::KeyboardModifiers m) {
  Key k;
  k.ctrl = m.testFlag(Qt::ControlModifier);
  k.shift = m.testFlag(Qt::ShiftModifier);
  // The Super key counts as Alt: both belong to the desktop's own shortcuts.
  k.alt = m.testFlag(Qt::AltModifier) || m.testFlag(Qt::MetaModifier);
  switch (qtKey) {
    case Qt::Key_Escape: k.code = KeyCode::Escape; break;
    case Qt::Key_Return:
    case Qt::Key_Enter: k.code = KeyCode::Enter; break;  // the keypad's too
    case Qt::Key_Left: k.code = KeyCode::Left; break;
    case Qt::Key_Right: k.code = KeyCode::Right; break;
    case Qt::Key_Up: k.code = KeyCode::Up; break;
    case Qt::Key_Down: k.code = KeyCode::Down; break;
    default:
      if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        k.code = KeyCode::Letter;
        k.letter = static_cast<char>('a' + (qtKey - Qt::Key_A));
      }
      break;
  }
  return k;
}

}  // namespace tolvane::platform::qt
