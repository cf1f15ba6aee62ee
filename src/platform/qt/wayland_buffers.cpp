#include "platform/qt/wayland_buffers.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>

namespace tolvane::platform::qt {

namespace {

QtMessageHandler passOn = nullptr;

void withoutMissingIntegration(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtWarningMsg && (message.startsWith(QLatin1String("Failed to load client buffer integration")) ||
                               message.startsWith(QLatin1String("Available client buffer integrations"))))
    return;
  if (passOn) {
    passOn(type, context, message);
    return;
  }
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

void paintWithoutGpu() {
  if (qEnvironmentVariableIsSet("QT_WAYLAND_CLIENT_BUFFER_INTEGRATION")) return;
  qputenv("QT_WAYLAND_CLIENT_BUFFER_INTEGRATION", "none");
  passOn = qInstallMessageHandler(withoutMissingIntegration);
}

}  // namespace tolvane::platform::qt
