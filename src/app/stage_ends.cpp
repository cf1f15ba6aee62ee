#include "app/stage_ends.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QtGlobal>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "app/command_line.h"

namespace tolvane::app {

namespace {
QtMessageHandler g_before = nullptr;

void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type != QtFatalMsg) {
    if (g_before) g_before(type, context, text);
    return;
  }
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* x = std::getenv("DISPLAY");
  const std::string display = wayland && *wayland ? std::string("Wayland compositor \"") + wayland + "\""
                                                  : std::string("X display \"") + (x ? x : "") + "\"";
  std::fprintf(stderr, "tolvane: the capture window cannot go on, has the %s gone away? Nothing was captured.\n",
               shortened(display).c_str());
  std::fprintf(stderr, "tolvane: Qt said: %s\n", shortened(text.toStdString(), 400).c_str());
  std::fflush(stderr);
  _exit(1);
}
}  // namespace

void endFatalQtMessagesCleanly() { g_before = qInstallMessageHandler(onQtMessage); }

int settleRawOutput(RawPngOutput& raw, const bool& signalled, int status) {
  if (raw.busy() && !signalled) {
    QEventLoop wait;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &wait, [&] {
      if (!raw.busy() || signalled) wait.quit();
    });
    tick.start(20);
    wait.exec();  // a signal's QCoreApplication::exit() ends it too
  }
  return raw.finish() ? status : 1;
}

}  // namespace tolvane::app
