// Qt's own connection to the X server.
#pragma once

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

struct xcb_connection_t;

namespace tolvane::platform::qt {

// nullptr off X (the offscreen platform) or before the application exists.
inline xcb_connection_t* x11Connection() {
  auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return app ? app->connection() : nullptr;
}

}  // namespace tolvane::platform::qt
