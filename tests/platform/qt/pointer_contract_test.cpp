// The Qt capture window and its controls driven through the shared mouse
// script: the logic gets the same calls as from the router alone and from
// the Windows view.
#include <gtest/gtest.h>

#include <QTest>
#include <QWindow>

#include "platform/pointer_script.h"
#include "window_rig.h"

namespace tolvane {
namespace {

using namespace pointer_script;
using platform::Ctl;

struct Rig : qttest::WindowRig<ScriptSink> {
  Rig() {
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
