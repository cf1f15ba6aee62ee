// The GNOME tests' hands and eyes on a headless GNOME Shell, over the
// session bus: input through mutter's remote desktop session (with a screen
// cast stream of the monitor, which absolute motion needs), and the screen
// read through the shell's own screenshot call, which it allows to the name
// org.gnome.Screenshot. The remote desktop session's keyboard and pointer
// exist only while it lives: it is started before the program under test.
// Reads one command a line on standard input and answers "ok ..." or
// "error ..." on standard output:
//   move X Y | button CODE 0|1 | key KEYSYM 0|1 | shot PATH
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QSocketNotifier>
#include <QStringList>
#include <QVariantMap>

#include <unistd.h>

#include <cstdio>

namespace {

constexpr char kRd[] = "org.gnome.Mutter.RemoteDesktop";
constexpr char kRdSession[] = "org.gnome.Mutter.RemoteDesktop.Session";
constexpr char kSc[] = "org.gnome.Mutter.ScreenCast";

QDBusMessage call(const QString& service, const QString& path, const QString& iface, const QString& method,
                  const QVariantList& args = {}) {
  QDBusMessage m = QDBusMessage::createMethodCall(service, path, iface, method);
  m.setArguments(args);
  return QDBusConnection::sessionBus().call(m, QDBus::Block, 10000);
}

QString failure(const QDBusMessage& reply) {
  return reply.type() == QDBusMessage::ErrorMessage ? reply.errorName() + ": " + reply.errorMessage() : QString();
}

class Helper {
 public:
  // The remote desktop session with its stream; an error text when it failed.
  QString start() {
    QDBusMessage r = call(kRd, "/org/gnome/Mutter/RemoteDesktop", kRd, "CreateSession");
    if (!failure(r).isEmpty()) return failure(r);
    session_ = r.arguments().value(0).value<QDBusObjectPath>().path();
    QDBusMessage id = call(kRd, session_, "org.freedesktop.DBus.Properties", "Get", {kRdSession, "SessionId"});
    if (!failure(id).isEmpty()) return failure(id);
    const QString sessionId = id.arguments().value(0).value<QDBusVariant>().variant().toString();
    QVariantMap props{{"remote-desktop-session-id", sessionId}};
    r = call(kSc, "/org/gnome/Mutter/ScreenCast", kSc, "CreateSession", {props});
    if (!failure(r).isEmpty()) return failure(r);
    const QString cast = r.arguments().value(0).value<QDBusObjectPath>().path();
    r = call(kSc, cast, QString(kSc) + ".Session", "RecordMonitor", {QString(), QVariantMap{}});
    if (!failure(r).isEmpty()) return failure(r);
    stream_ = r.arguments().value(0).value<QDBusObjectPath>().path();
    r = call(kRd, session_, kRdSession, "Start");
    return failure(r);
  }

  QString command(const QStringList& w) {
    const QString& verb = w.value(0);
    if (verb == "move" && w.size() == 3)
      return session("NotifyPointerMotionAbsolute", {stream_, w[1].toDouble(), w[2].toDouble()});
    if (verb == "button" && w.size() == 3) return session("NotifyPointerButton", {w[1].toInt(), w[2] == "1"});
    if (verb == "key" && w.size() == 3) return session("NotifyKeyboardKeysym", {w[1].toUInt(nullptr, 0), w[2] == "1"});
    if (verb == "shot" && w.size() == 2) return shot(w[1]);
    return "unknown command";
  }

 private:
  QString session(const QString& method, const QVariantList& args) {
    return failure(call(kRd, session_, kRdSession, method, args));
  }

  QString shot(const QString& path) {
    const QDBusMessage r = call("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                                "org.gnome.Shell.Screenshot", "Screenshot", {false, false, path});
    if (!failure(r).isEmpty()) return failure(r);
    return r.arguments().value(0).toBool() ? QString() : "the shell took no screenshot";
  }

  QString session_, stream_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  setvbuf(stdout, nullptr, _IOLBF, 0);
  // The shell takes screenshots only for a few names; this one is a screenshot tool's.
  if (!QDBusConnection::sessionBus().registerService("org.gnome.Screenshot")) {
    std::printf("error no name on the session bus\n");
    return 1;
  }
  Helper helper;
  const QString started = helper.start();
  std::printf("%s\n", started.isEmpty() ? "ok started" : qPrintable("error " + started));
  if (!started.isEmpty()) return 1;
  QSocketNotifier in(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&in, &QSocketNotifier::activated, [&] {
    char line[4096];
    if (!std::fgets(line, sizeof line, stdin)) {
      app.quit();
      return;
    }
    const QStringList words = QString::fromUtf8(line).trimmed().split(' ', Qt::SkipEmptyParts);
    const QString err = helper.command(words);
    std::printf("%s\n", err.isEmpty() ? "ok" : qPrintable("error " + err));
  });
  return app.exec();
}
