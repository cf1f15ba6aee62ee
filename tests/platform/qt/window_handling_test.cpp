// Which window system's handling a capture window gets, seen by what the
// window does with it on the offscreen platform: how it shows itself, and
// where our dialogs open over it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "platform/qt/capture_window.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/text_engine.h"
#include "platform/qt/window_handling.h"

namespace tolvane {
namespace {

using picture::RasterSurface;
using platform::qt::CaptureWindow;

QRect screenArea() { return QGuiApplication::primaryScreen()->geometry(); }

// A capture window over the top-left quarter of the screen, with the
// handling Qt's platform `qtPlatform` gets.
struct QuarterWindow {
  explicit QuarterWindow(const char* qtPlatform)
      : surface(screenArea().width() / 2, screenArea().height() / 2, &text, &window) {
    window.setSurface(&surface);
    window.setScreenRect(QRect(0, 0, surface.width(), surface.height()));
    window.attach(platform::qt::windowHandlingFor(QString::fromLatin1(qtPlatform), window));
  }
  platform::qt::QtTextEngine text;
  CaptureWindow window;
  RasterSurface surface;
};

TEST(WindowHandling, OnlyWhereTheWindowSystemPlacesWindowsDoesTheWindowGoFullScreen) {
  const struct {
    const char* qtPlatform;
    bool fullScreen;
  } cases[] = {{"xcb", false}, {"wayland", true}, {"offscreen", false}};
  for (const auto& c : cases) {
    QuarterWindow rig(c.qtPlatform);
    rig.window.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.window)) << c.qtPlatform;
    // Spanning its screen rectangle, past the window manager; else the
    // whole output, placed by the window system.
    const QRect expected = c.fullScreen ? screenArea() : QRect(0, 0, rig.surface.width(), rig.surface.height());
    EXPECT_EQ(rig.window.geometry(), expected) << c.qtPlatform;
    EXPECT_EQ(rig.window.isFullScreen(), c.fullScreen) << c.qtPlatform;
    EXPECT_EQ(rig.window.windowFlags().testFlag(Qt::BypassWindowManagerHint), !c.fullScreen) << c.qtPlatform;
    rig.window.dismiss();
    EXPECT_FALSE(rig.window.isVisible()) << c.qtPlatform;
  }
}

// Where a message box over the window opens: its centre.
QPoint messageBoxCentre(CaptureWindow& window) {
  QPoint centre(-1, -1);
  QTimer::singleShot(0, [&centre] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    // The platform window's own place: the widget learns of a move later.
    if (const QWindow* w = box->windowHandle()) centre = w->frameGeometry().center();
    box->accept();
  });
  platform::qt::QtMessageBox(&window).information("错误", "无法保存");
  return centre;
}

TEST(WindowHandling, OnX11ADialogOpensInTheMiddleOfTheRegionsMonitorNotOfTheWindow) {
  const struct {
    const char* qtPlatform;
    bool onTheMonitor;  // else over the window, where Qt puts a dialog
  } cases[] = {{"xcb", true}, {"offscreen", false}};
  for (const auto& c : cases) {
    QuarterWindow rig(c.qtPlatform);
    rig.window.dialogArea = [] { return IRect{10, 10, 60, 60}; };
    rig.window.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.window)) << c.qtPlatform;
    const QPoint expected = c.onTheMonitor ? screenArea().center() : rig.window.geometry().center();
    const QPoint centre = messageBoxCentre(rig.window);
    EXPECT_LE((centre - expected).manhattanLength(), 2) << c.qtPlatform << " at " << centre.x() << "," << centre.y() << " not " << expected.x() << "," << expected.y();
    rig.window.dismiss();
  }
}

}  // namespace
}  // namespace tolvane
