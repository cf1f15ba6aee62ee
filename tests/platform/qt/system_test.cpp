#include <gtest/gtest.h>

#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include "platform/qt/capture_window.h"
#include "platform/qt/system.h"

namespace tolvane {
namespace {

using platform::qt::QtPointer;

Qt::CursorShape overrideShape() {
  const QCursor* c = QGuiApplication::overrideCursor();
  return c ? c->shape() : Qt::BitmapCursor;  // BitmapCursor: no override at all
}

TEST(Pointer, ShapesAreOneApplicationWideOverride) {
  {
    QtPointer pointer;
    using platform::PointerShape;
    const std::pair<PointerShape, Qt::CursorShape> shapes[] = {
        {PointerShape::Arrow, Qt::ArrowCursor},       {PointerShape::Cross, Qt::CrossCursor},
        {PointerShape::Move, Qt::SizeAllCursor},      {PointerShape::SizeNESW, Qt::SizeBDiagCursor},
        {PointerShape::SizeNS, Qt::SizeVerCursor},    {PointerShape::SizeNWSE, Qt::SizeFDiagCursor},
        {PointerShape::SizeWE, Qt::SizeHorCursor},    {PointerShape::Busy, Qt::WaitCursor},
    };
    for (const auto& [shape, qt] : shapes) {
      pointer.setShape(shape);
      EXPECT_EQ(pointer.shape(), shape);
      EXPECT_EQ(overrideShape(), qt) << static_cast<int>(shape);
    }
    pointer.setShape(PointerShape::Default);
    EXPECT_EQ(overrideShape(), Qt::BitmapCursor);
    pointer.setShape(PointerShape::Cross);
    pointer.setShape(PointerShape::Cross);
  }
  // One override at most, and it goes with the pointer.
  EXPECT_EQ(overrideShape(), Qt::BitmapCursor);
}

TEST(App, HidingTheWindowLeavesTheCaptureToClose) {
  platform::qt::CaptureWindow window;
  window.setScreenRect(QRect(0, 0, 320, 200));
  QtPointer pointer;
  platform::qt::QtApp app(window, pointer);
  int closes = 0;
  app.onClosed = [&closes] { ++closes; };
  app.showMaximized();
  app.goLive();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  pointer.setShape(platform::PointerShape::Cross);
  app.hideWindow();
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(overrideShape(), Qt::BitmapCursor);  // no pointer of ours left on the screen
  EXPECT_EQ(closes, 0);  // the process may not end yet: the work after it is still to do
  app.close();
  EXPECT_EQ(closes, 1);
}

TEST(Environment, PicturesFolderFallsBackToHome) {
  QTemporaryDir home;
  const QByteArray oldHome = qgetenv("HOME"), oldPictures = qgetenv("XDG_PICTURES_DIR"),
                   oldConfig = qgetenv("XDG_CONFIG_HOME");
  qputenv("HOME", home.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
  platform::qt::QtEnvironment env;
  EXPECT_EQ(env.picturesFolder(), home.path().toStdString());  // no Pictures folder yet
  ASSERT_TRUE(QDir(home.path()).mkdir("Pictures"));
  EXPECT_EQ(env.picturesFolder(), (home.path() + "/Pictures").toStdString());
  qputenv("HOME", oldHome);
  if (oldConfig.isNull()) qunsetenv("XDG_CONFIG_HOME"); else qputenv("XDG_CONFIG_HOME", oldConfig);
  (void)oldPictures;
}

}  // namespace
}  // namespace tolvane
