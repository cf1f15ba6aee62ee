// The Qt capture window and its controls driven through the shared mouse
// script: the logic gets the same calls as from the router alone and from
// the Windows view.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include "layout/controls.h"
#include "platform/pointer_script.h"
#include "platform/qt/capture_window.h"
#include "platform/qt/control_view.h"
#include "platform/qt/text_engine.h"

namespace tolvane {
namespace {

using namespace pointer_script;
using platform::Ctl;

QSize screenSize() { return QGuiApplication::primaryScreen()->geometry().size(); }

struct Rig {
  Rig() : surface(screenSize().width(), screenSize().height(), &text, &window), view(window), controls(&view) {
    window.setSurface(&surface);
    window.setScreenRect(QRect(QPoint(0, 0), screenSize()));
    window.relay().setSink(&sink);
    view.attach(&controls);
    view.ensureBuilt();
    controls(Ctl::Toolbar).move(10, 10);
    controls(Ctl::Toolbar).show();
    QWidget* tool = view.widget(kControl);
    control = tool->mapTo(&window, tool->rect().center());
  }
  QPoint at(Where w) const {
    if (w == Where::Control) return control;
    if (w == Where::OffControl) return control + QPoint(0, 60);
    return {300, 250};
  }
  static Qt::MouseButton qtButton(int b) { return b == platform::kLeft ? Qt::LeftButton : Qt::RightButton; }
  // The window shown, with the pointer resting on it away from the points
  // the script uses.
  void show() {
    window.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseMove(window.windowHandle(), QPoint(1, 299));
    sink.calls.clear();
  }
  void run(const Step& s) {
    QWindow* win = window.windowHandle();
    const QPoint p = at(s.where);
    if (s.act == Act::Press || s.act == Act::DoubleClick) {
      // The pointer comes to the press first: that hover is not the script's.
      const auto before = sink.calls.size();
      QTest::mouseMove(win, p);
      sink.calls.resize(before);
    }
    switch (s.act) {
      case Act::Press: QTest::mousePress(win, qtButton(s.button), {}, p); break;
      case Act::Release: QTest::mouseRelease(win, qtButton(s.button), {}, p); break;
      case Act::Move: QTest::mouseMove(win, p); break;
      case Act::DoubleClick: QTest::mouseDClick(win, Qt::LeftButton, {}, p); break;
    }
  }

  platform::qt::QtTextEngine text;
  platform::qt::CaptureWindow window;
  picture::RasterSurface surface;
  ScriptSink sink;
  platform::qt::QtControlView view;
  layout::Controls controls;
  QPoint control;
};

TEST(QtPointerContract, FollowsTheScript) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.show();
    for (const Step& s : c.steps) rig.run(s);
    EXPECT_EQ(rig.sink.calls, c.calls);
  }
}

}  // namespace
}  // namespace tolvane
