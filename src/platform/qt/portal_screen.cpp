#include "platform/qt/portal_screen.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QVariantMap>

#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/wayland/output_layout.h"
#include "platform/wayland/portal_reply.h"

namespace tolvane::platform::qt {

namespace pw = tolvane::platform::wayland;

namespace {

constexpr char kPortalService[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kRequestInterface[] = "org.freedesktop.portal.Request";
constexpr char kPermissionStore[] = "org.freedesktop.impl.portal.PermissionStore";
constexpr char kPermissionStorePath[] = "/org/freedesktop/impl/portal/PermissionStore";

ScreenRead failed(const std::string& what) {
  return {{}, Failure{kScreenNoWaylandRoute, pw::portalFailureText(std::getenv("XDG_CURRENT_DESKTOP"), what)}};
}

// The ids the portal may file this program's permission under: "" for any
// program outside a sandbox, or its desktop entry's.
const std::vector<std::string> kOurIds = {"", "io.github.tolvane.Tolvane"};

// What the permission store says of the screenshot permission, and whether
// the Pictures folder the portal writes to is there.
pw::PortalContext whyNoPicture(QDBusConnection& bus) {
  pw::PortalContext context;
  QDBusMessage lookup = QDBusMessage::createMethodCall(kPermissionStore, kPermissionStorePath, kPermissionStore,
                                                       "Lookup");
  lookup << QStringLiteral("screenshot") << QStringLiteral("screenshot");
  const QDBusMessage reply = bus.call(lookup, QDBus::Block, 2000);
  if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
    QMap<QString, QStringList> entry;
    reply.arguments().first().value<QDBusArgument>() >> entry;
    std::map<std::string, std::vector<std::string>> plain;
    for (auto it = entry.cbegin(); it != entry.cend(); ++it)
      for (const QString& p : it.value()) plain[it.key().toStdString()].push_back(p.toStdString());
    context.refusedFor = pw::refusedScreenshotFor(plain, kOurIds);
  }
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (!pictures.isEmpty() && !QDir(pictures).exists()) context.missingPictures = pictures.toStdString();
  return context;
}

}  // namespace

// Receives the Request object's Response signal.
class PortalResponse : public QObject {
  Q_OBJECT
 public:
  std::optional<uint> code;
  QVariantMap results;
  QEventLoop loop;

 public slots:
  void response(uint answered, const QVariantMap& with) {
    if (code) return;
    code = answered;
    results = with;
    loop.quit();
  }
};

namespace {

// Waits for the answer for as long as the desktop may be asking the user
// for permission; stops early when the portal leaves the bus or the program
// is told to end (which quits every event loop). A request left unanswered
// is withdrawn, so that no dialog of it stays behind.
std::optional<std::string> awaitAnswer(QDBusConnection& bus, const QString& request, PortalResponse& listener,
                                       std::chrono::milliseconds patience) {
  if (listener.code) return std::nullopt;
  bool gone = false, late = false;
  QDBusServiceWatcher watcher(kPortalService, bus, QDBusServiceWatcher::WatchForUnregistration);
  QObject::connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, &listener.loop, [&] {
    gone = true;
    listener.loop.quit();
  });
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, &listener.loop, [&] {
    late = true;
    listener.loop.quit();
  });
  limit.start(patience);
  listener.loop.exec();
  if (listener.code) return std::nullopt;
  if (gone) return "the Screenshot portal left the session bus without answering";
  bus.call(QDBusMessage::createMethodCall(kPortalService, request, kRequestInterface, "Close"), QDBus::Block, 2000);
  if (late)
    return "the Screenshot portal did not answer in " +
           std::to_string(std::chrono::duration_cast<std::chrono::seconds>(patience).count()) +
           " s; the request was withdrawn";
  return "the program was stopped while the Screenshot portal had not answered; the request was withdrawn";
}

}  // namespace

const ScreenRead& PortalScreen::readNow(std::chrono::milliseconds patience) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return read_ = failed("there is no D-Bus session bus to reach the Screenshot portal on");

  // The Request object's path is known before the call; listening first
  // means a quick answer cannot be missed.
  const QString token = QStringLiteral("tolvane%1").arg(getpid());
  QString sender = bus.baseService().mid(1);
  sender.replace('.', '_');
  const QString expected = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
  PortalResponse listener;
  const auto listen = [&](const QString& path) {
    bus.connect(kPortalService, path, kRequestInterface, "Response", &listener, SLOT(response(uint, QVariantMap)));
  };
  listen(expected);

  QDBusMessage call =
      QDBusMessage::createMethodCall(kPortalService, kPortalPath, "org.freedesktop.portal.Screenshot", "Screenshot");
  call << QString() << QVariantMap{{"handle_token", token}, {"interactive", false}};
  const QDBusReply<QDBusObjectPath> handle = bus.call(call, QDBus::Block, kCallTimeoutMs);
  if (!handle.isValid())
    return read_ = failed("the Screenshot portal cannot be reached (" + handle.error().name().toStdString() + ": " +
                          handle.error().message().toStdString() + "); xdg-desktop-portal and a backend for the "
                          "desktop are needed");
  if (handle.value().path() != expected) listen(handle.value().path());

  if (const auto why = awaitAnswer(bus, handle.value().path(), listener, patience)) return read_ = failed(*why);
  std::optional<std::string> uri;
  if (listener.results.contains("uri")) uri = listener.results.value("uri").toString().toStdString();
  const pw::PortalContext context = *listener.code == 0 ? pw::PortalContext{} : whyNoPicture(bus);
  const pw::PortalAnswer answer = pw::readPortalResponse(*listener.code, uri, context);
  if (!answer.ok()) return read_ = failed(answer.failure->description);
  return read_ = cutToOutput(answer.path);
}

ScreenRead PortalScreen::cutToOutput(const std::string& path) {
  // Read at once: some portals write every picture to the same file. Once
  // read it goes: it pictures the whole desktop, which nobody asked to keep.
  QImage shot(QString::fromStdString(path));
  if (shot.isNull()) return failed("the Screenshot portal's picture " + path + " cannot be read");
  pw::removePortalPicture(path);
  shot = shot.convertToFormat(QImage::Format_RGB32);

  // The picture is the whole desktop; the window covers the top-left output.
  std::vector<IRect> outputs;
  std::vector<pw::OutputPlace> places;
  for (const QScreen* s : QGuiApplication::screens()) {
    const QRect g = s->geometry();
    outputs.push_back({g.left(), g.top(), g.left() + g.width(), g.top() + g.height()});
    places.push_back({outputs.back(), 1});
  }
  IRect part{0, 0, shot.width(), shot.height()};
  if (!outputs.empty()) {
    part = pw::outputInDesktopPicture(shot.width(), shot.height(), outputs, pw::topLeftOutput(places));
    if (part.empty()) return failed("the Screenshot portal's picture does not match the outputs' layout");
  }
  Image out(part.width(), part.height());
  for (int y = 0; y < part.height(); ++y) {
    const auto* src = reinterpret_cast<const Argb*>(shot.constScanLine(part.top + y)) + part.left;
    Argb* dst = out.scanLine(y);
    for (int x = 0; x < part.width(); ++x) dst[x] = src[x] | 0xFF000000u;
  }
  return {std::move(out), std::nullopt};
}

}  // namespace tolvane::platform::qt

#include "portal_screen.moc"
