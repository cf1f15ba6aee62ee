#include "platform/qt/text_box.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextCharFormat>

#include <algorithm>
#include <string>

#include "picture/surface.h"
#include "platform/control_rules.h"
#include "platform/qt/control_view.h"

namespace tolvane::platform::qt {

namespace {

// Input methods mark the composed text themselves, most with an underline;
// one that marks nothing gets the underline all the same.
QList<QInputMethodEvent::Attribute> withUnderline(const QInputMethodEvent& e) {
  QList<QInputMethodEvent::Attribute> attrs = e.attributes();
  const bool marked = std::any_of(attrs.begin(), attrs.end(), [](const QInputMethodEvent::Attribute& a) {
    return a.type == QInputMethodEvent::TextFormat;
  });
  if (!marked && !e.preeditString().isEmpty()) {
    QTextCharFormat underline;
    underline.setFontUnderline(true);
    attrs.append({QInputMethodEvent::TextFormat, 0, static_cast<int>(e.preeditString().size()), underline});
  }
  return attrs;
}

}  // namespace

TextBoxWidget::TextBoxWidget(EventRelay& relay, const ControlState& state, QWidget* parent)
    : QLineEdit(parent), relay_(relay), s_(state) {
  setFrame(false);
  setTextMargins(0, 0, 0, 0);
  setAttribute(Qt::WA_InputMethodEnabled);
  // Focused by a click or by the logic, never passed on to: when the note
  // hides, the keyboard goes back to the window, not into the size box.
  setFocusPolicy(Qt::ClickFocus);
  // The editor's text starts where the committed text will be drawn.
  setAlignment(anchoredText() ? (Qt::AlignLeft | Qt::AlignTop) : (Qt::AlignLeft | Qt::AlignVCenter));
  applyFont();
  fromModel_ = true;
  setText(QString::fromStdString(s_.text));
  fromModel_ = false;
  QObject::connect(this, &QLineEdit::textChanged, this, [this](const QString& t) {
    if (fromModel_) return;
    const CtlRef ref = s_.ref;
    const std::string utf8 = t.toStdString();
    relay_.send([&](EventSink& s) { s.textChanged(ref, utf8); });
  });
}

void TextBoxWidget::applyFont() {
  setFont(controlFont(s_, this));
  QPalette pal = palette();
  pal.setColor(QPalette::Text, qColor(s_.foreColor));
  pal.setColor(QPalette::Base, QColor::fromRgb(kTextBoxBack));
  setPalette(pal);
}

QPoint TextBoxWidget::textOrigin() const {
  QStyleOptionFrame opt;
  initStyleOption(&opt);
  const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &opt, this);
  // QLineEdit keeps 2 pixels left and 1 pixel above its text.
  return contents.topLeft() + QPoint(2, 1);
}

QRect TextBoxWidget::boxFor(const QRect& textPlace) const {
  const QPoint o = textOrigin();
  const int lineHeight = QFontMetrics(font()).height();
  return QRect(textPlace.left() - o.x(), textPlace.top() - o.y(), textPlace.width() + 2 * o.x() + 2,
               std::max(textPlace.height(), lineHeight + 2 * o.y()));
}

QString TextBoxWidget::shownText() const {
  QString t = text();
  if (!composing_.isEmpty()) t.insert(cursorPosition(), composing_);
  return t;
}

ControlState TextBoxWidget::shownState(const picture::Surface* dc) const {
  ControlState s = s_;
  if (anchoredText() && !composing_.isEmpty() && dc)
    s.width = std::max(s.width, dc->textWidth(shownText().toStdString()));
  return s;
}

void TextBoxWidget::inputMethodEvent(QInputMethodEvent* e) {
  QInputMethodEvent marked(e->preeditString(), withUnderline(*e));
  marked.setCommitString(e->commitString(), e->replacementStart(), e->replacementLength());
  const bool changed = composing_ != e->preeditString();
  // Known before the commit reaches the logic, so that the box it places
  // then is measured with the composed text as it is after this event.
  composing_ = e->preeditString();
  QLineEdit::inputMethodEvent(&marked);
  e->setAccepted(marked.isAccepted());
  if (changed && onComposingChanged) onComposingChanged();
}

void TextBoxWidget::dropComposing() {
  if (composing_.isEmpty()) return;
  // What was being composed when the box closes is not part of its text:
  // the input method forgets it and the box stops showing it.
  QGuiApplication::inputMethod()->reset();
  if (composing_.isEmpty()) return;
  composing_.clear();
  QInputMethodEvent end;
  QLineEdit::inputMethodEvent(&end);
}

void TextBoxWidget::moveEvent(QMoveEvent* e) {
  QLineEdit::moveEvent(e);
  // The input method's word list follows the caret.
  if (hasFocus()) QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle | Qt::ImAnchorRectangle);
}

void TextBoxWidget::resizeEvent(QResizeEvent* e) {
  QLineEdit::resizeEvent(e);
  if (hasFocus()) QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle | Qt::ImAnchorRectangle);
}

void TextBoxWidget::setState(const ControlState& state) {
  const bool fontChanged = state.fontSize != s_.fontSize || state.foreColor != s_.foreColor;
  if (!state.visible && s_.visible) dropComposing();
  s_ = state;
  if (fontChanged) applyFont();
  const QString t = QString::fromStdString(s_.text);
  if (t != text()) {
    fromModel_ = true;
    setText(t);
    fromModel_ = false;
  }
}

}  // namespace tolvane::platform::qt
