#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QLineEdit>
#include <QTest>
#include <QWindow>

#include "layout/controls.h"
#include "platform/output_areas.h"
#include "platform/qt/capture_window.h"
#include "platform/qt/control_view.h"
#include "platform/qt/text_engine.h"
#include "qt_test_support.h"

namespace tolvane {
namespace {

using platform::Ctl;
using platform::CtlRef;
using platform::qt::QtControlView;

struct ViewRig {
  explicit ViewRig(bool build = true)
      : surface(screen().width(), screen().height(), &text, &window), view(window), controls(&view) {
    window.setSurface(&surface);
    window.setScreenRect(screen());
    window.relay().setSink(&sink);
    view.attach(&controls);
    if (build) view.ensureBuilt();
  }
  static QRect screen() { return QRect(QPoint(0, 0), QGuiApplication::primaryScreen()->geometry().size()); }
  void show() {
    window.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  Image blank(Argb colour) const { return Image(surface.width(), surface.height(), colour); }
  layout::Control& ctl(Ctl c, int index = -1) { return controls(c, index); }
  QWidget* w(Ctl c, int index = -1) { return view.widget({c, index}); }
  QPoint centreOnWindow(Ctl c, int index = -1) {
    QWidget* x = w(c, index);
    return x->mapTo(&window, x->rect().center());
  }

  platform::qt::QtTextEngine text;
  platform::qt::CaptureWindow window;
  picture::RasterSurface surface;
  qttest::RecordingSink sink;
  QtControlView view;
  layout::Controls controls;
};

TEST(ControlView, BuildsEveryControlWithItsDesignedVisibility) {
  ViewRig rig;
  for (const auto& c : rig.controls.all()) {
    QWidget* w = rig.view.widget(c.ref());
    ASSERT_NE(w, nullptr) << c.state().name;
    EXPECT_EQ(w->objectName().toStdString(), c.state().name);
    EXPECT_EQ(!w->isHidden(), c.state().visible) << c.state().name;
    QWidget* parent = c.state().parent.ctl == Ctl::Window ? &rig.window : rig.view.widget(c.state().parent);
    EXPECT_EQ(w->parentWidget(), parent) << c.state().name;
  }
  EXPECT_EQ(rig.w(Ctl::Swatch, 16)->geometry(), QRect(1, 0, 28, 28));
  EXPECT_EQ(rig.w(Ctl::ToolButton, 7)->geometry().size(), QSize(16, 16));
}

// Two outputs side by side, a window each: a control on the window lies on
// the window of the output that holds it, placed against that output's
// corner; controls inside others stay where they are.
TEST(ControlView, AControlOnTheWindowGoesToTheOutputThatHoldsIt) {
  const QRect screen = ViewRig::screen();
  const int w = screen.width(), h = screen.height();
  platform::qt::QtTextEngine text;
  platform::qt::CaptureWindow left, right;
  platform::OutputPresenters outputs;
  outputs.add(&left, {0, 0, w, h});
  outputs.add(&right, {w, 0, 2 * w, h});
  picture::RasterSurface surface(2 * w, h, &text, &outputs);
  qttest::RecordingSink sink;
  for (platform::qt::CaptureWindow* win : {&left, &right}) {
    win->setSurface(&surface);
    win->setScreenRect(QRect(0, 0, 2 * w, h));
    win->relay().setSink(&sink);
  }
  left.setOutput(nullptr, {0, 0, w, h});
  right.setOutput(nullptr, {w, 0, 2 * w, h});
  QtControlView view(left);
  view.setOutputs({&left, &right});
  layout::Controls controls(&view);
  view.attach(&controls);
  view.ensureBuilt();
  for (const auto& c : controls.all()) {
    if (c.state().parent.ctl == Ctl::Window) continue;
    EXPECT_EQ(view.widget(c.ref())->parentWidget(), view.widget(c.state().parent)) << c.state().name;
  }

  auto& frame = controls(Ctl::SelectionFrame);
  frame.move(static_cast<float>(w + 30), 20, 100, 50);
  frame.show();
  QWidget* shown = view.widget({Ctl::SelectionFrame, -1});
  EXPECT_EQ(shown->parentWidget(), &right);
  EXPECT_EQ(shown->geometry(), QRect(30, 20, 100, 50));
  EXPECT_FALSE(shown->isHidden());
  frame.move(40, 60, 100, 50);
  EXPECT_EQ(shown->parentWidget(), &left);
  EXPECT_EQ(shown->geometry(), QRect(40, 60, 100, 50));
  EXPECT_FALSE(shown->isHidden());
}

TEST(ControlView, FollowsGeometryRoundingHalvesToEven) {
  ViewRig rig;
  rig.show();
  auto& shape = rig.ctl(Ctl::SelectionFrame);
  shape.move(10.5f, 20.5f, 100.5f, 50.0f);
  shape.show();
  // Edges: 10.5 -> 10, 20.5 -> 20, 111 -> 111, 70.5 -> 70.
  EXPECT_EQ(rig.w(Ctl::SelectionFrame)->geometry(), QRect(10, 20, 101, 50));
  EXPECT_TRUE(rig.w(Ctl::SelectionFrame)->isVisible());
  shape.setLeft(11.5f);  // 12 .. 112
  EXPECT_EQ(rig.w(Ctl::SelectionFrame)->geometry(), QRect(12, 20, 100, 50));
  shape.hide();
  EXPECT_FALSE(rig.w(Ctl::SelectionFrame)->isVisible());
}

TEST(ControlView, StacksAsDesigned) {
  ViewRig rig;
  auto above = [&](CtlRef a, CtlRef b) {
    QWidget* x = rig.view.widget(a);
    QWidget* y = rig.view.widget(b);
    const auto& kids = x->parentWidget()->children();
    return kids.indexOf(x) > kids.indexOf(y);
  };
  for (int i = 0; i <= 8; ++i) EXPECT_TRUE(above({Ctl::ToolButton, i}, {Ctl::ButtonHover, i})) << i;
  // On the window: boxes in front of lightweight controls, earlier in front of later.
  EXPECT_TRUE(above({Ctl::NoteField, -1}, {Ctl::StylePanel, -1}));
  EXPECT_TRUE(above({Ctl::StylePanel, -1}, {Ctl::Toolbar, -1}));
  EXPECT_TRUE(above({Ctl::Toolbar, -1}, {Ctl::ColorLabel, -1}));
  EXPECT_TRUE(above({Ctl::ColorLabel, -1}, {Ctl::Handle, 0}));
  EXPECT_TRUE(above({Ctl::Handle, 0}, {Ctl::SelectionFrame, -1}));
  EXPECT_TRUE(above({Ctl::SelectionFrame, -1}, {Ctl::SizeLabel, -1}));
  EXPECT_TRUE(above({Ctl::SizeChooser, -1}, {Ctl::SizeIcon, -1}));
}

TEST(ControlView, SelectionFrameLetsTheMouseThroughAndHandlesTakeIt) {
  ViewRig rig;
  rig.show();
  rig.ctl(Ctl::SelectionFrame).move(20, 20, 100, 60);
  rig.ctl(Ctl::SelectionFrame).show();
  rig.ctl(Ctl::Handle, 0).move(150, 150);
  rig.ctl(Ctl::Handle, 0).show();
  QWindow* win = rig.window.windowHandle();
  QTest::mouseClick(win, Qt::LeftButton, {}, QPoint(20, 40));   // on the frame's left edge
  QTest::mouseClick(win, Qt::LeftButton, {}, QPoint(151, 152));  // on the handle
  // Every event carries the pointer in the window's pixels, whatever the target.
  const std::vector<std::string> expected = {"down Window 1 20,40", "up Window 1 20,40", "down Handle(0) 1 151,152",
                                             "up Handle(0) 1 151,152", "click Handle(0)"};
  EXPECT_EQ(rig.sink.withoutMoves(), expected);
}

TEST(ControlView, ToolbarClickIsPressAndReleaseOnTheButton) {
  ViewRig rig;
  rig.show();
  rig.ctl(Ctl::Toolbar).move(10, 10);
  rig.ctl(Ctl::Toolbar).show();
  QWindow* win = rig.window.windowHandle();
  const QPoint rectTool = rig.centreOnWindow(Ctl::ToolButton, 7);
  QTest::mouseClick(win, Qt::LeftButton, {}, rectTool);
  EXPECT_EQ(rig.sink.withoutMoves().back(), "click ToolButton(7)");

  // Pressed on the button, released off it: the button keeps the pointer but
  // there is no click.
  rig.sink.log.clear();
  QTest::mousePress(win, Qt::LeftButton, {}, rectTool);
  QTest::mouseMove(win, rectTool + QPoint(0, 60));
  QTest::mouseRelease(win, Qt::LeftButton, {}, rectTool + QPoint(0, 60));
  const auto at = [](QPoint p) { return std::to_string(p.x()) + "," + std::to_string(p.y()); };
  const std::string pressed = at(rectTool), released = at(rectTool + QPoint(0, 60));
  const std::vector<std::string> expected = {"down ToolButton(7) 1 " + pressed, "move ToolButton(7) 1 " + released,
                                             "up ToolButton(7) 1 " + released};
  EXPECT_EQ(rig.sink.log, expected);

  // The right button is no click either.
  rig.sink.log.clear();
  QTest::mouseClick(win, Qt::RightButton, {}, rectTool);
  EXPECT_EQ(rig.sink.withoutMoves(),
            (std::vector<std::string>{"down ToolButton(7) 2 " + pressed, "up ToolButton(7) 2 " + pressed}));
}

TEST(ControlView, PaintsTheFrameOnTheRegionEdgesAndSolidHandles) {
  ViewRig rig;
  rig.surface.bitBlt(0, 0, rig.surface.width(), rig.surface.height(), rig.blank(0xFF000000u), 0, 0);
  rig.show();
  rig.ctl(Ctl::SelectionFrame).move(30, 40, 50, 20);
  rig.ctl(Ctl::SelectionFrame).show();
  rig.ctl(Ctl::Handle, 3).move(200, 100);
  rig.ctl(Ctl::Handle, 3).show();
  const QImage shot = rig.window.grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRgb blue = qRgb(0, 122, 236);
  for (const QPoint p : {QPoint(30, 40), QPoint(79, 40), QPoint(30, 59), QPoint(79, 59), QPoint(55, 40)})
    EXPECT_EQ(shot.pixel(p), blue) << p.x() << "," << p.y();
  EXPECT_EQ(shot.pixel(55, 50), qRgb(0, 0, 0));  // no fill
  EXPECT_EQ(shot.pixel(80, 40), qRgb(0, 0, 0));  // right edge exclusive
  for (int y = 100; y < 104; ++y)
    for (int x = 200; x < 204; ++x) EXPECT_EQ(shot.pixel(x, y), blue);
  EXPECT_EQ(shot.pixel(204, 100), qRgb(0, 0, 0));
}

TEST(ControlView, TextBoxesReportUserEditsOnly) {
  ViewRig rig;
  rig.show();
  auto& box = rig.ctl(Ctl::NoteField);
  box.move(50, 60);
  box.show();
  rig.view.setFocus(box.ref());
  auto* edit = qobject_cast<QLineEdit*>(rig.w(Ctl::NoteField));
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(edit->hasFocus());
  QTest::keyClick(rig.window.windowHandle(), Qt::Key_A);
  QTest::keyClick(rig.window.windowHandle(), Qt::Key_B);
  box.setText("");  // the logic empties it: no echo
  rig.ctl(Ctl::SizeBox).setText("14");
  EXPECT_EQ(qobject_cast<QLineEdit*>(rig.w(Ctl::SizeBox))->text(), QStringLiteral("14"));
  const std::vector<std::string> expected = {"key a NoteField", "text NoteField a", "key b NoteField",
                                             "text NoteField ab"};
  EXPECT_EQ(rig.sink.log, expected);
  EXPECT_TRUE(edit->text().isEmpty());
  EXPECT_TRUE(edit->testAttribute(Qt::WA_InputMethodEnabled));
}

TEST(ControlView, EditorTextStartsAtTheControlsPlace) {
  ViewRig rig;
  rig.show();
  auto& box = rig.ctl(Ctl::NoteField);
  box.setFontSize(12);
  box.move(50, 60);
  box.show();
  auto* edit = dynamic_cast<platform::qt::TextBoxWidget*>(rig.w(Ctl::NoteField));
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->mapTo(&rig.window, edit->textOrigin()), QPoint(50, 60));
  // 12 points at 96 dpi: a 16-pixel font, whatever the screen's dpi.
  EXPECT_NEAR(QFontInfo(edit->font()).pixelSize(), 16, 0);
}

TEST(ControlView, TypedTextLooksLikeTheTextDrawnOnCommit) {
  ViewRig rig;
  rig.surface.bitBlt(0, 0, rig.surface.width(), rig.surface.height(), rig.blank(0xFFFFFFFFu), 0, 0);
  rig.show();
  auto& box = rig.ctl(Ctl::NoteField);
  box.setForeColor(rgb(200, 0, 0));
  box.setFontSize(14);
  box.move(50, 60);
  box.setWidth(150);
  box.show();
  rig.view.setFocus(box.ref());
  auto* edit = qobject_cast<QLineEdit*>(rig.w(Ctl::NoteField));
  edit->setCursorPosition(0);
  edit->setText(QStringLiteral("中文 Ab"));
  edit->setCursorPosition(0);
  edit->clearFocus();  // no caret in the picture
  const QImage typed = rig.window.grab(QRect(40, 50, 200, 40)).toImage().convertToFormat(QImage::Format_RGB32);

  Image drawn = rig.blank(0xFFFFFFFFu);
  rig.text.draw(drawn, 0, 0, 50, 60, "中文 Ab", 14, rgb(200, 0, 0));
  const QImage expected = qttest::toQImage(drawn.copy({40, 50, 240, 90}));
  EXPECT_EQ(qttest::differingPixels(typed, expected), 0);
}

TEST(ControlView, ComboDropDownChoosesAnItem) {
  ViewRig rig;
  rig.show();
  rig.ctl(Ctl::StylePanel).move(10, 10);
  rig.ctl(Ctl::StylePanel).show();
  const CtlRef combo{Ctl::SizeList, -1};
  EXPECT_FALSE(rig.view.comboDropped(combo));
  rig.view.showComboDropDown(combo, true);
  auto* box = qobject_cast<QComboBox*>(rig.w(Ctl::SizeList));
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(box->view()->window()));
  EXPECT_TRUE(rig.view.comboDropped(combo));
  QAbstractItemView* list = box->view();
  list->setCurrentIndex(box->model()->index(box->findText("14"), 0));
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_FALSE(rig.view.comboDropped(combo));
  const std::vector<std::string> expected = {"text SizeList 14", "click SizeList"};
  EXPECT_EQ(rig.sink.withoutMoves(), expected);

  rig.view.showComboDropDown(combo, true);
  EXPECT_TRUE(rig.view.comboDropped(combo));
  rig.view.showComboDropDown(combo, false);
  EXPECT_FALSE(rig.view.comboDropped(combo));
}

// The logic is told which text box has the keyboard; a key it leaves goes
// on to the box, and a key it uses goes no further.
TEST(ControlView, KeysNameTheFocusedTextBoxAndReachItUnlessUsed) {
  ViewRig rig;
  rig.show();
  auto& note = rig.ctl(Ctl::NoteField);
  note.move(50, 60);
  note.setWidth(100);
  note.show();
  rig.view.setFocus(note.ref());
  auto* edit = qobject_cast<QLineEdit*>(rig.w(Ctl::NoteField));
  ASSERT_NE(edit, nullptr);
  QTest::keyClick(rig.window.windowHandle(), Qt::Key_A);
  QTest::keyClick(rig.window.windowHandle(), Qt::Key_B);
  QTest::keyClick(rig.window.windowHandle(), Qt::Key_Left);
  EXPECT_EQ(edit->text(), QStringLiteral("ab"));
  EXPECT_EQ(edit->cursorPosition(), 1);
  rig.sink.useKeys = true;
  QTest::keyClick(rig.window.windowHandle(), Qt::Key_X);
  EXPECT_EQ(edit->text(), QStringLiteral("ab"));
  const std::vector<std::string> seen = {"key a NoteField", "text NoteField a", "key b NoteField",
                                         "text NoteField ab", "key Left NoteField", "key x NoteField"};
  EXPECT_EQ(rig.sink.withoutMoves(), seen);
}

// Committed text hides its box; the keyboard must not land in the size box
// shown beside it, or the arrows and Ctrl+Z would go to the font size.
TEST(ControlView, AHiddenNoteLeavesTheKeyboardToTheWindow) {
  ViewRig rig;
  rig.show();
  rig.ctl(Ctl::StylePanel).move(10, 10);
  rig.ctl(Ctl::StylePanel).show();
  ASSERT_TRUE(rig.w(Ctl::SizeBox)->isVisible());
  auto& note = rig.ctl(Ctl::NoteField);
  note.move(50, 160);
  note.show();
  rig.view.setFocus(note.ref());
  ASSERT_EQ(QApplication::focusWidget(), rig.w(Ctl::NoteField));
  note.hide();
  QTest::keyClick(rig.window.windowHandle(), Qt::Key_Left);
  EXPECT_EQ(rig.sink.withoutMoves(), std::vector<std::string>{"key Left Window"});
}

TEST(ControlView, BuildsLazilyUntilLive) {
  ViewRig rig(false);
  rig.ctl(Ctl::Toolbar).setTop(-26);
  EXPECT_FALSE(rig.view.built());
  rig.view.setLive(true);
  rig.ctl(Ctl::Toolbar).setTop(-20);
  ASSERT_TRUE(rig.view.built());
  EXPECT_EQ(rig.w(Ctl::Toolbar)->geometry().top(), -20);
}

}  // namespace
}  // namespace tolvane
