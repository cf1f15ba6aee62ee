#include "platform/qt/kwin_screen.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QVariantMap>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/wayland/kwin_shot.h"
#include "platform/wayland/output_layout.h"

namespace tolvane::platform::qt {

namespace pw = tolvane::platform::wayland;

namespace {

constexpr char kService[] = "org.kde.KWin.ScreenShot2";
constexpr char kPath[] = "/org/kde/KWin/ScreenShot2";
constexpr char kInterface[] = "org.kde.KWin.ScreenShot2";

ScreenRead failed(const std::string& why) { return {{}, Failure{kScreenNoWaylandRoute, why}}; }

// The output a full-screen window covers: the one nearest the layout's
// top-left corner, as the portal route picks it.
const QScreen* windowsOutput() {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.isEmpty()) return nullptr;
  std::vector<pw::OutputPlace> places;
  for (const QScreen* s : screens) {
    const QRect g = s->geometry();
    places.push_back({{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()}, 1});
  }
  return screens[static_cast<qsizetype>(pw::topLeftOutput(places))];
}

// The reply's description of the pixels.
pw::KWinShotInfo infoOf(const QVariantMap& results) {
  pw::KWinShotInfo info;
  const auto number = [&](const char* key) -> std::optional<std::uint32_t> {
    bool ok = false;
    const uint v = results.value(key).toUInt(&ok);
    return results.contains(key) && ok ? std::optional<std::uint32_t>(v) : std::nullopt;
  };
  if (results.contains("type")) info.type = results.value("type").toString().toStdString();
  info.width = number("width");
  info.height = number("height");
  info.stride = number("stride");
  info.format = number("format");
  return info;
}

// The call and the pipe's bytes, collected together: KWin answers the call
// and then writes the pixels, which may not fit the pipe's buffer, so both
// are read as they come. Done once the answer is in and, for a picture,
// all the bytes it describes have come or the pipe has closed (the pending
// call keeps a copy of the write end, so it may not).
struct Collected {
  std::string bytes;
  bool closed = false, timedOut = false;
  QDBusMessage reply;
};

void collect(QDBusPendingCall& call, int readEnd, std::chrono::milliseconds patience, Collected& out) {
  QEventLoop loop;
  std::size_t needed = 0;
  const auto finishedIfDone = [&] {
    if (!call.isFinished()) return;
    if (!call.isError() && needed == 0 && !call.reply().arguments().isEmpty())
      needed = pw::kwinShotBytes(infoOf(qdbus_cast<QVariantMap>(call.reply().arguments().first())));
    if (call.isError() || out.closed || (needed > 0 && out.bytes.size() >= needed)) loop.quit();
  };
  QSocketNotifier readable(readEnd, QSocketNotifier::Read);
  QObject::connect(&readable, &QSocketNotifier::activated, &loop, [&] {
    char buf[1 << 16];
    for (;;) {
      const ssize_t n = read(readEnd, buf, sizeof buf);
      if (n > 0) {
        out.bytes.append(buf, static_cast<std::size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n == 0 || errno != EAGAIN) {
        out.closed = true;
        readable.setEnabled(false);
      }
      break;
    }
    finishedIfDone();
  });
  QDBusPendingCallWatcher watcher(call);
  QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, finishedIfDone);
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
    out.timedOut = true;
    loop.quit();
  });
  limit.start(patience);
  loop.exec();
  out.reply = call.reply();
}

}  // namespace

bool KWinScreen::offered() {
  const QDBusConnection bus = QDBusConnection::sessionBus();
  return bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(kService).value();
}

const ScreenRead& KWinScreen::readNow(std::chrono::milliseconds patience) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return read_ = failed("there is no D-Bus session bus to reach KWin on");
  const QScreen* output = windowsOutput();
  if (!output) return read_ = failed("KWin shows no output");
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return read_ = failed("no pipe for KWin's picture");
  QDBusPendingCall call = [&] {
    // The message holds its own copy of the write end; ours closes at once,
    // so that the pipe ends when KWin's does.
    QDBusMessage capture = QDBusMessage::createMethodCall(kService, kPath, kInterface, "CaptureScreen");
    capture << output->name()
            << QVariantMap{{QStringLiteral("include-cursor"), false}, {QStringLiteral("native-resolution"), true}}
            << QVariant::fromValue(QDBusUnixFileDescriptor(fds[1]));
    close(fds[1]);
    return bus.asyncCall(capture, static_cast<int>(patience.count()));
  }();
  Collected got;
  collect(call, fds[0], patience, got);
  close(fds[0]);
  if (got.timedOut) return read_ = failed("KWin did not hand its screenshot over in time");
  if (got.reply.type() == QDBusMessage::ErrorMessage)
    return read_ = failed(pw::kwinRefusalText(got.reply.errorName().toStdString(),
                                              got.reply.errorMessage().toStdString()));
  if (got.reply.arguments().isEmpty()) return read_ = failed("KWin's screenshot came without its description");
  const QVariantMap results = qdbus_cast<QVariantMap>(got.reply.arguments().first());
  read_ = pw::decodeKWinShot(infoOf(results), got.bytes);
  return read_;
}

}  // namespace tolvane::platform::qt
