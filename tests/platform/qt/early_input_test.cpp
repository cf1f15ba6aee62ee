#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <functional>

#include "platform/qt/capture_window.h"
#include "platform/early_input.h"
#include "platform/qt/text_engine.h"
#include "qt_test_support.h"

namespace tolvane {
namespace {

using platform::kLeft;
using platform::kMiddle;
using platform::kRight;
using platform::EarlyInput;
using Log = std::vector<std::string>;

struct EarlyCase {
  const char* name;
  std::function<void(EarlyInput&)> input;
  Log replayed;
  bool held;
  friend void PrintTo(const EarlyCase& c, std::ostream* os) { *os << c.name; }
};

class Early : public ::testing::TestWithParam<EarlyCase> {};

TEST_P(Early, ReplaysAsTheWindowsOwnEvents) {
  EarlyInput early;
  GetParam().input(early);
  qttest::RecordingSink sink;
  early.replay(sink);
  EXPECT_EQ(sink.log, GetParam().replayed);
  EXPECT_EQ(early.leftHeld(), GetParam().held);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Early,
    ::testing::Values(
        EarlyCase{"Nothing", [](EarlyInput&) {}, {}, false},
        EarlyCase{"HeldDragMovesToTheLastPoint",
                  [](EarlyInput& e) {
                    e.motion(5, 5);  // before the press: not part of the drag
                    e.press(kLeft, 10, 20);
                    e.motion(30, 40);
                    e.motion(50, 60);
                  },
                  {"down Window 1 10,20", "move Window 1 50,60"},
                  true},
        EarlyCase{"HeldWithoutMovingIsAPressOnly", [](EarlyInput& e) { e.press(kLeft, 10, 20); },
                  {"down Window 1 10,20"}, true},
        EarlyCase{"FinishedDragEndsWhereTheButtonCameUp",
                  [](EarlyInput& e) {
                    e.press(kLeft, 10, 20);
                    e.motion(30, 40);
                    e.release(kLeft, 70, 80);
                    e.motion(90, 90);  // after the release: only pointing
                  },
                  {"down Window 1 10,20", "move Window 1 70,80", "up Window 1 70,80"},
                  false},
        EarlyCase{"ClickIsPressAndRelease",
                  [](EarlyInput& e) {
                    e.press(kLeft, 10, 20);
                    e.release(kLeft, 10, 20);
                  },
                  {"down Window 1 10,20", "up Window 1 10,20"},
                  false},
        EarlyCase{"TheLastDragCounts",
                  [](EarlyInput& e) {
                    e.press(kLeft, 1, 1);
                    e.release(kLeft, 2, 2);
                    e.press(kLeft, 10, 10);
                    e.motion(20, 20);
                  },
                  {"down Window 1 10,10", "move Window 1 20,20"},
                  true},
        EarlyCase{"OtherButtonsAreNotCarried",
                  [](EarlyInput& e) {
                    e.press(kRight, 10, 20);
                    e.release(kRight, 10, 20);
                    e.press(kMiddle, 10, 20);
                    e.motion(30, 30);
                  },
                  {},
                  false},
        EarlyCase{"ARightReleaseDoesNotEndALeftDrag",
                  [](EarlyInput& e) {
                    e.press(kLeft, 10, 20);
                    e.release(kRight, 30, 30);
                  },
                  {"down Window 1 10,20"},
                  true},
        EarlyCase{"EscapeAloneEndsEvenAfterADrag",
                  [](EarlyInput& e) {
                    e.press(kLeft, 10, 20);
                    e.escape();
                    e.motion(30, 40);
                  },
                  {"key Esc Window"},
                  true}),
    [](const auto& param) { return std::string(param.param.name); });

// The capture window going on with a drag it never saw pressed.
struct DragRig {
  DragRig() : surface(size().width(), size().height(), &text, &window) {
    window.setSurface(&surface);
    window.setScreenRect(QRect(QPoint(0, 0), size()));
    window.relay().setSink(&sink);
    window.present();
  }
  static QSize size() { return QGuiApplication::primaryScreen()->geometry().size(); }
  // An event as the window system hands it to the window.
  void send(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, at, window.mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(window.windowHandle(), &e);
  }
  platform::qt::QtTextEngine text;
  platform::qt::CaptureWindow window;
  picture::RasterSurface surface;
  qttest::RecordingSink sink;
};

TEST(ContinueDrag, MovesWithTheButtonHeldAndTheReleaseReachTheLogic) {
  DragRig rig;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.window));
  rig.window.continueDrag();
  rig.send(QEvent::MouseMove, {40, 50}, Qt::NoButton, Qt::LeftButton);
  rig.send(QEvent::MouseButtonRelease, {60, 70}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(rig.sink.log, (Log{"move Window 1 40,50", "up Window 1 60,70"}));
  // The pointer is the window's own again: the next drag needs a press.
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  rig.send(QEvent::MouseMove, {80, 90}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(rig.sink.log.size(), 2u);
}

TEST(ContinueDrag, AMoveWithTheButtonUpEndsTheDragThere) {
  DragRig rig;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.window));
  rig.window.continueDrag();
  rig.send(QEvent::MouseMove, {40, 50}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(rig.sink.log, (Log{"up Window 1 40,50", "move Window 0 40,50"}));
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST(ContinueDrag, WithoutItAMoveWithTheButtonHeldIsLost) {
  // What happened before: Qt drops what follows a press it never saw.
  DragRig rig;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.window));
  rig.send(QEvent::MouseMove, {40, 50}, Qt::NoButton, Qt::LeftButton);
  rig.send(QEvent::MouseButtonRelease, {60, 70}, Qt::LeftButton, Qt::NoButton);
  EXPECT_TRUE(rig.sink.log.empty());
}

}  // namespace
}  // namespace tolvane
