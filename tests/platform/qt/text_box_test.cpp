// The text tool's editor while an input method composes: the composed text is
// shown in the box, which grows with it as with typed text, and only what is
// committed reaches the logic and the picture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QScreen>
#include <QTest>

#include <string>
#include <vector>

#include "annotation/style_panel.h"
#include "annotation/text_tool.h"
#include "layout/controls.h"
#include "platform/qt/capture_window.h"
#include "platform/qt/control_view.h"
#include "platform/qt/text_engine.h"
#include "qt_test_support.h"
#include "window_rig.h"

namespace tolvane {
namespace {

using platform::Ctl;
using platform::qt::TextBoxWidget;

// Text edits go to the real text tool, as the capture session routes them.
struct ToolSink : qttest::RecordingSink {
  annotation::TextTool* tool = nullptr;
  layout::Controls* controls = nullptr;
  void textChanged(platform::CtlRef t, const std::string& utf8) override {
    RecordingSink::textChanged(t, utf8);
    (*controls)(Ctl::NoteField).takeTextFromUser(utf8);
    tool->change();
  }
};

struct EditorRig : qttest::WindowRig<ToolSink> {
  EditorRig() {
    surface.bitBlt(0, 0, surface.width(), surface.height(), Image(surface.width(), surface.height(), 0xFFFFFFFFu),
                   0, 0);
    sink.tool = &tool;
    sink.controls = &controls;
    view.attach(&controls);
    view.ensureBuilt();
  }
  bool open() {
    window.present();
    if (!QTest::qWaitForWindowExposed(&window) || !QTest::qWaitForWindowActive(&window)) return false;
    tool.place(50, 60);
    return edit()->hasFocus();
  }
  TextBoxWidget* edit() { return dynamic_cast<TextBoxWidget*>(view.widget({Ctl::NoteField, -1})); }
  layout::Control& box() { return controls(Ctl::NoteField); }
  // What an input method sends: the composed text with the caret at its end,
  // and the text it commits.
  void compose(const QString& preedit, const QString& commit = {}) {
    QList<QInputMethodEvent::Attribute> attrs;
    if (!preedit.isEmpty()) attrs.append({QInputMethodEvent::Cursor, static_cast<int>(preedit.size()), 1});
    QInputMethodEvent e(preedit, attrs);
    if (!commit.isEmpty()) e.setCommitString(commit);
    QApplication::sendEvent(edit(), &e);
  }
  // The widget's width for a box `modelWidth` device pixels wide.
  int widthFor(float modelWidth) {
    platform::ControlState s = box().state();
    s.width = modelWidth;
    return edit()->boxFor(platform::qt::pixelRect(s)).width();
  }
  std::vector<std::string> textEvents() const {
    std::vector<std::string> out;
    for (const auto& line : sink.log)
      if (line.rfind("text ", 0) == 0) out.push_back(line);
    return out;
  }

  annotation::StylePanel style{controls};
  annotation::TextTool tool{controls, surface, style};
};

TEST(TextBoxComposing, GrowsWithTheComposedTextAsWithTypedText) {
  struct Case {
    const char* typed;     // committed before composing
    const char* composed;  // then composed after it
  };
  for (const Case& c : {Case{"", "zhong wen"}, Case{"中", "wen"}, Case{"", "z"}, Case{"a much longer typed text", "x"}}) {
    SCOPED_TRACE(std::string(c.typed) + " + " + c.composed);
    EditorRig rig;
    ASSERT_TRUE(rig.open());
    if (*c.typed) rig.compose({}, QString::fromUtf8(c.typed));
    const float typedWidth = rig.box().width();
    const int before = rig.edit()->width();
    rig.compose(QString::fromUtf8(c.composed));
    const std::string shown = std::string(c.typed) + c.composed;
    EXPECT_EQ(rig.edit()->shownText().toStdString(), shown);
    EXPECT_EQ(rig.edit()->text().toStdString(), c.typed);
    // As wide as the logic makes the box for the same text typed, never narrower than it was.
    const float grown = std::max({25.0f, typedWidth, rig.surface.textWidth(shown)});
    EXPECT_EQ(rig.edit()->width(), rig.widthFor(grown));
    EXPECT_GE(rig.edit()->width(), before);
    // The logic has not seen the composed text.
    EXPECT_EQ(rig.box().text(), c.typed);
    EXPECT_EQ(rig.box().width(), typedWidth);
  }
}

TEST(TextBoxComposing, CommitPutsTheTextInAndCancelRestores) {
  EditorRig rig;
  ASSERT_TRUE(rig.open());
  const int opened = rig.edit()->width();
  rig.compose(QStringLiteral("zhong"));
  rig.compose(QStringLiteral("zhong wen"));
  ASSERT_GT(rig.edit()->width(), opened);
  rig.compose({}, QStringLiteral("中文"));
  EXPECT_EQ(rig.edit()->text(), QStringLiteral("中文"));
  EXPECT_TRUE(rig.edit()->composing().isEmpty());
  EXPECT_EQ(rig.box().text(), "中文");
  EXPECT_EQ(rig.edit()->width(), rig.widthFor(std::max(25.0f, rig.surface.textWidth("中文"))));
  const int committed = rig.edit()->width();
  EXPECT_EQ(rig.textEvents(), std::vector<std::string>{"text NoteField 中文"});

  // Composing more, then giving up: the box is back as it was, nothing typed.
  rig.compose(QStringLiteral("a much longer pinyin"));
  ASSERT_GT(rig.edit()->width(), committed);
  rig.compose({});
  EXPECT_EQ(rig.edit()->width(), committed);
  EXPECT_EQ(rig.edit()->shownText(), QStringLiteral("中文"));
  EXPECT_EQ(rig.textEvents().size(), 1u);
}

TEST(TextBoxComposing, ComposedTextIsUnderlinedAndNeverDrawn) {
  EditorRig rig;
  ASSERT_TRUE(rig.open());
  rig.compose(QStringLiteral("mmmm"));
  QApplication::processEvents();
  const QImage box = rig.edit()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  // The underline: a row where the text's colour runs along the composed text.
  const int textWidth = static_cast<int>(rig.surface.textWidth("mmmm"));
  int longest = 0;
  for (int y = 0; y < box.height(); ++y) {
    int run = 0;
    for (int x = 0; x < box.width(); ++x) {
      run = qGray(box.pixel(x, y)) < 128 ? run + 1 : 0;
      longest = std::max(longest, run);
    }
  }
  EXPECT_GE(longest, textWidth * 9 / 10);

  // The next release draws the box's text: the composed text is dropped, not drawn.
  const Image clean = rig.surface.compose({0, 0, 400, 200});
  EXPECT_TRUE(rig.tool.release(300, 300));
  EXPECT_EQ(qttest::differingPixels(qttest::toQImage(rig.surface.compose({0, 0, 400, 200})),
                                    qttest::toQImage(clean)),
            0);
  EXPECT_TRUE(rig.edit()->composing().isEmpty());
  EXPECT_TRUE(rig.textEvents().empty());
}

TEST(TextBoxComposing, TheWordListOpensAtTheCaret) {
  EditorRig rig;
  ASSERT_TRUE(rig.open());
  // Where Qt tells the input method the caret is, in the window's pixels.
  auto caret = [&] { return QGuiApplication::inputMethod()->cursorRectangle(); };
  const QRectF empty = caret();
  // The caret's rectangle spans a few pixels either side of it.
  EXPECT_NEAR(empty.center().x(), 50, 2);
  EXPECT_NEAR(empty.top(), 60, 2);
  EXPECT_GE(empty.bottom(), 60 + QFontMetrics(rig.edit()->font()).ascent());
  rig.compose(QStringLiteral("zhong wen"));
  QGuiApplication::inputMethod()->update(Qt::ImQueryAll);
  EXPECT_NEAR(caret().center().x(), 50 + rig.surface.textWidth("zhong wen"), 2);
  EXPECT_NEAR(caret().top(), empty.top(), 0);
}

}  // namespace
}  // namespace tolvane
