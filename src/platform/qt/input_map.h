// Qt's mouse and key events as the platform's.
#pragma once

#include <Qt>

#include "platform/events.h"
#include "platform/keys.h"

class QMouseEvent;

namespace tolvane::platform::qt {

// Qt's buttons as the platform's: 1 left, 2 right, 4 middle.
int buttonBit(Qt::MouseButton b);
int buttonSet(Qt::MouseButtons bs);
int shiftState(Qt::KeyboardModifiers m);
Mouse mouseFrom(const QMouseEvent& e, bool press);

// A key by what it is (QKeyEvent::key()), not by the text it types: with
// Ctrl held, the text of C is a control character.
Key keyFrom(int qtKey, Qt::KeyboardModifiers m);

}  // namespace tolvane::platform::qt
