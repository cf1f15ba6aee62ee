// The Qt control view run through the shared picture script: the pixels it
// shows and the control a press reaches are those the Windows view gives.
#include <gtest/gtest.h>

#include <QTest>

#include "platform/control_script.h"
#include "qt_test_support.h"
#include "window_rig.h"

namespace tolvane {
namespace {

using namespace control_script;

struct Rig : qttest::WindowRig<qttest::RecordingSink> {
  Rig() {
    surface.bitBlt(0, 0, surface.width(), surface.height(),
                   Image(surface.width(), surface.height(), 0xFF000000u | kCanvas), 0, 0);
    view.attach(&controls);
    view.ensureBuilt();
  }
  // The control whose widget a press at `p` reaches; the window when none.
  CtlRef pressed(QPoint p) const {
    for (QWidget* w = window.childAt(p); w && w != &window; w = w->parentWidget())
      for (const auto& c : controls.all())
        if (view.widget(c.ref()) == w) return c.ref();
    return {};
  }
};

TEST(QtControlScript, ShowsAndHitsAsTheScriptSays) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    Rig rig;
    c.setUp(rig.controls);
    rig.window.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.window));
    const QImage shot = rig.window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    expectAsScripted(
        c, [&](int x, int y) { return static_cast<std::uint32_t>(shot.pixel(x, y)); },
        [&](int x, int y) { return rig.pressed(QPoint(x, y)); });
  }
}

}  // namespace
}  // namespace tolvane
