#include "platform/qt/qt_x11.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

namespace tolvane::platform::qt {

xcb_connection_t* x11Connection() {
  auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return app ? app->connection() : nullptr;
}

}  // namespace tolvane::platform::qt
