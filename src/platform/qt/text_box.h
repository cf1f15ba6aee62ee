// The window's text boxes: NoteField, the text tool's editor, and SizeBox,
// the font size. The editor also shows what an input method is composing.
#pragma once

#include <QLineEdit>
#include <QString>

#include <functional>

#include "platform/controls.h"
#include "platform/qt/capture_window.h"

class QInputMethodEvent;

namespace tolvane::picture {
class Surface;
}

namespace tolvane::platform::qt {

class TextBoxWidget : public QLineEdit {
 public:
  TextBoxWidget(EventRelay& relay, const ControlState& state, QWidget* parent);
  void setState(const ControlState& state);
  const ControlState& state() const { return s_; }
  // Where the first character's top-left lies inside the widget.
  QPoint textOrigin() const;
  bool anchoredText() const { return s_.ref.ctl == Ctl::NoteField; }

  // The text an input method is composing, shown underlined at the cursor.
  // It is no part of text(): the logic sees it only once it is committed.
  const QString& composing() const { return composing_; }
  // The text as shown: the committed text with the composed text at the cursor.
  QString shownText() const;
  // The state to place the box by: while text is composed, the box is as
  // wide as the shown text, measured as the logic measures the committed
  // text when it widens the box (with `dc`'s font). It never gets narrower
  // than the logic made it; once the composing ends it is that wide again.
  ControlState shownState(const picture::Surface* dc) const;
  // The widget's geometry that puts its text at `textPlace` (logical pixels),
  // with room for the caret and a whole line of the font.
  QRect boxFor(const QRect& textPlace) const;
  // Told when the composed text changes: the box may have to grow.
  std::function<void()> onComposingChanged;

 protected:
  void inputMethodEvent(QInputMethodEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void applyFont();
  void dropComposing();
  EventRelay& relay_;
  ControlState s_;
  QString composing_;
  bool fromModel_ = false;
};

}  // namespace tolvane::platform::qt
