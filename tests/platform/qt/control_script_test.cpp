// The Qt control view run through the shared picture script: the pixels it
// shows and the control a press reaches are those the Windows view gives.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include "layout/controls.h"
#include "platform/control_script.h"
#include "platform/qt/capture_window.h"
#include "platform/qt/control_view.h"
#include "platform/qt/text_engine.h"
#include "qt_test_support.h"

namespace tolvane {
namespace {

using namespace control_script;

QSize screenSize() { return QGuiApplication::primaryScreen()->geometry().size(); }

struct Rig {
  Rig() : surface(screenSize().width(), screenSize().height(), &text, &window), view(window), controls(&view) {
    window.setSurface(&surface);
    window.setScreenRect(QRect(QPoint(0, 0), screenSize()));
    window.relay().setSink(&sink);
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

  platform::qt::QtTextEngine text;
  platform::qt::CaptureWindow window;
  picture::RasterSurface surface;
  qttest::RecordingSink sink;
  platform::qt::QtControlView view;
  layout::Controls controls;
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
