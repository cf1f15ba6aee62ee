#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QLineEdit>
#include <QTest>
#include <QWindow>

#include "platform/output_areas.h"
#include "platform/qt/capture_window.h"
#include "platform/qt/text_engine.h"
#include "qt_test_support.h"

namespace tolvane {
namespace {

using picture::RasterSurface;
using platform::qt::CaptureWindow;
using qttest::RecordingSink;

// The window covers the whole (offscreen) screen, as it does on X.
QSize screenSize() { return QGuiApplication::primaryScreen()->geometry().size(); }

struct WindowRig {
  WindowRig() : surface(screenSize().width(), screenSize().height(), &text, &window) {
    window.setSurface(&surface);
    window.setScreenRect(QRect(QPoint(0, 0), screenSize()));
    window.relay().setSink(&sink);
  }
  void show() {
    window.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  platform::qt::QtTextEngine text;
  CaptureWindow window;
  RasterSurface surface;
  RecordingSink sink;
};

TEST(CaptureWindow, PaintsExactlyTheComposedCanvas) {
  // Taller than one strip, with a veil, an undimmed hole, a drawn line and a
  // transient preview: every layer the canvas composes.
  WindowRig rig;
  const int w = rig.surface.width(), h = rig.surface.height();
  ASSERT_GT(h, 290);
  const Image screen = qttest::pattern(w, h);
  rig.surface.bitBlt(0, 0, w, h, screen, 0, 0);
  rig.surface.fillArgb(0x80222222u, 0, 0, static_cast<float>(w), static_cast<float>(h));
  rig.surface.bitBlt(40, 100, 120, 170, screen, 40, 100);
  rig.surface.line(10, 10, 250, 200, rgb(255, 0, 0), true);
  rig.surface.setPersistent(false);
  rig.surface.line(20, 30, 280, 260, rgb(0, 255, 0), false);
  rig.show();

  const QImage painted = rig.window.grab().toImage();
  const QImage expected = qttest::toQImage(rig.surface.compose(rig.surface.rect()));
  EXPECT_EQ(qttest::differingPixels(painted, expected), 0);
  // The veil is really there: a pixel outside the hole differs from the screen.
  EXPECT_NE(painted.pixel(5, 280) & 0xFFFFFF, screen.pixel(5, 280) & 0xFFFFFF);
  EXPECT_EQ(painted.pixel(100, 150) & 0xFFFFFF, screen.pixel(100, 150) & 0xFFFFFF);
}

TEST(CaptureWindow, CoversTheGivenScreenRectangle) {
  WindowRig rig;
  rig.show();
  EXPECT_EQ(rig.window.geometry(), QRect(QPoint(0, 0), screenSize()));
  EXPECT_TRUE(rig.window.isVisible());
  rig.window.dismiss();
  EXPECT_FALSE(rig.window.isVisible());
}

TEST(CaptureWindow, DoubleClickArrivesWithoutASecondPress) {
  WindowRig rig;
  rig.show();
  QWindow* w = rig.window.windowHandle();
  // Through Qt's own double-click detection: press, release, press, release.
  QTest::mouseDClick(w, Qt::LeftButton, {}, QPoint(50, 60));
  const std::vector<std::string> expected = {"down Window 1 50,60", "up Window 1 50,60", "dblclick Window",
                                             "up Window 1 50,60"};
  EXPECT_EQ(rig.sink.withoutMoves(), expected);
}

TEST(CaptureWindow, OnlyTheLeftButtonDoubleClicks) {
  // A quick double right or middle click stays two presses: the logic must
  // see the second press (a right one ends the capture), never a double click.
  for (const auto& [button, bit] : {std::pair{Qt::RightButton, 2}, std::pair{Qt::MiddleButton, 4}}) {
    WindowRig rig;
    rig.show();
    QTest::mouseDClick(rig.window.windowHandle(), button, {}, QPoint(50, 60));
    const std::string down = "down Window " + std::to_string(bit) + " 50,60";
    const std::string up = "up Window " + std::to_string(bit) + " 50,60";
    EXPECT_EQ(rig.sink.withoutMoves(), (std::vector<std::string>{down, up, down, up})) << "button " << bit;
  }
}

// A sink whose press handler fails the way a full history would.
struct FailingSink : qttest::RecordingSink {
  void mouseDown(platform::CtlRef t, const platform::Mouse& m) override {
    RecordingSink::mouseDown(t, m);
    throw std::bad_alloc();
  }
};

TEST(CaptureWindow, AFailingHandlerIsReportedAndTheCaptureGoesOn) {
  WindowRig rig;
  FailingSink sink;
  rig.window.relay().setSink(&sink);
  std::vector<std::string> failures;
  rig.window.relay().onFailure = [&](const std::string& what) { failures.push_back(what); };
  rig.show();
  QWindow* w = rig.window.windowHandle();
  QTest::mousePress(w, Qt::LeftButton, {}, QPoint(30, 40));
  QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(30, 40));
  EXPECT_EQ(failures, (std::vector<std::string>{"内存不足"}));
  EXPECT_TRUE(rig.window.isVisible());
  // The next events still arrive.
  EXPECT_EQ(sink.withoutMoves(), (std::vector<std::string>{"down Window 1 30,40", "up Window 1 30,40"}));
  rig.window.relay().setSink(&rig.sink);
}

TEST(CaptureWindow, MouseButtonsAndPositionsInWindowPixels) {
  WindowRig rig;
  rig.show();
  QWindow* w = rig.window.windowHandle();
  QTest::mousePress(w, Qt::RightButton, {}, QPoint(30, 40));
  QTest::mouseRelease(w, Qt::RightButton, {}, QPoint(30, 40));
  QTest::mousePress(w, Qt::MiddleButton, {}, QPoint(7, 9));
  QTest::mouseMove(w, QPoint(12, 14));
  QTest::mouseRelease(w, Qt::MiddleButton, {}, QPoint(12, 14));
  const std::vector<std::string> expected = {"down Window 2 30,40", "up Window 2 30,40", "down Window 4 7,9",
                                             "up Window 4 12,14"};
  EXPECT_EQ(rig.sink.withoutMoves(), expected);
  // A move reports the set of buttons held.
  EXPECT_NE(std::find(rig.sink.log.begin(), rig.sink.log.end(), "move Window 4 12,14"), rig.sink.log.end());
}

// A window for one output of several shows that output's part of the canvas
// and reports positions in the whole canvas's pixels.
TEST(CaptureWindow, AnOutputWindowShowsAndReportsItsPartOfTheCanvas) {
  const QSize size = screenSize();
  const IRect area{200, 50, 200 + size.width(), 50 + size.height()};
  platform::qt::QtTextEngine text;
  CaptureWindow window;
  platform::OutputPresenters outputs;
  outputs.add(&window, area);
  RasterSurface surface(area.right + 100, area.bottom, &text, &outputs);
  window.setSurface(&surface);
  window.setScreenRect(QRect(QPoint(0, 0), size));
  window.setOutput(nullptr, area);
  RecordingSink sink;
  window.relay().setSink(&sink);
  const Image screen = qttest::pattern(surface.width(), surface.height());
  surface.bitBlt(0, 0, surface.width(), surface.height(), screen, 0, 0);
  window.present();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  const QImage painted = window.grab().toImage();
  EXPECT_EQ(qttest::differingPixels(painted, qttest::toQImage(surface.compose(area))), 0);
  // Drawn at the canvas's 210,70: shown at the window's 10,20.
  surface.fillArgb(0xFF00FF00u, 210, 70, 30, 40);
  surface.settleDamage();
  EXPECT_EQ(window.grab().toImage().pixel(15, 25) & 0xFFFFFF, 0x00FF00u);

  QWindow* w = window.windowHandle();
  QTest::mousePress(w, Qt::LeftButton, {}, QPoint(30, 40));
  QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(31, 42));
  const std::vector<std::string> expected = {"down Window 1 230,90", "up Window 1 231,92"};
  EXPECT_EQ(sink.withoutMoves(), expected);
}

TEST(CaptureWindow, EscapeReachesTheWindowFromAFocusedTextBox) {
  WindowRig rig;
  auto* edit = new QLineEdit(&rig.window);
  edit->setGeometry(10, 10, 80, 20);
  rig.show();
  edit->setFocus();
  QTest::keyClick(rig.window.windowHandle(), Qt::Key_A);
  QTest::keyClick(rig.window.windowHandle(), Qt::Key_Escape);
  // Keys the logic leaves still reach the box.
  EXPECT_EQ(rig.sink.log, (std::vector<std::string>{"key a Window", "key Esc Window"}));
  EXPECT_EQ(edit->text(), QStringLiteral("a"));
}

// Keys by what they are, not by their text: with Ctrl the text of C is ^C.
TEST(CaptureWindow, KeysReachTheLogicByName) {
  WindowRig rig;
  rig.show();
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    const char* seen;
  } cases[] = {
      {Qt::Key_Escape, {}, "Esc"},
      {Qt::Key_Return, {}, "Enter"},
      {Qt::Key_Enter, Qt::KeypadModifier, "Enter"},
      {Qt::Key_C, Qt::ControlModifier, "Ctrl+c"},
      {Qt::Key_S, Qt::ControlModifier, "Ctrl+s"},
      {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, "Ctrl+Shift+z"},
      {Qt::Key_Y, Qt::ControlModifier, "Ctrl+y"},
      {Qt::Key_A, Qt::ControlModifier, "Ctrl+a"},
      {Qt::Key_Q, {}, "q"},
      {Qt::Key_Left, {}, "Left"},
      {Qt::Key_Right, Qt::ShiftModifier, "Shift+Right"},
      {Qt::Key_Up, Qt::ControlModifier, "Ctrl+Up"},
      {Qt::Key_Down, Qt::KeypadModifier, "Down"},
      {Qt::Key_Left, Qt::AltModifier, "Alt+Left"},
      {Qt::Key_C, Qt::MetaModifier | Qt::ControlModifier, "Ctrl+Alt+c"},
      {Qt::Key_F1, {}, "Other"},
      {Qt::Key_0, Qt::ControlModifier, "Ctrl+Other"},
  };
  for (const auto& c : cases) {
    rig.sink.log.clear();
    QTest::keyClick(rig.window.windowHandle(), c.key, c.mods);
    // The modifiers' own presses come first.
    ASSERT_FALSE(rig.sink.log.empty());
    EXPECT_EQ(rig.sink.log.back(), std::string("key ") + c.seen + " Window");
  }
}

}  // namespace
}  // namespace tolvane
