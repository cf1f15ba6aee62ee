#include "platform/qt/portal_screen.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
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

ScreenRead failed(const std::string& what) {
  return {{}, Failure{kScreenNoWaylandRoute, pw::portalFailureText(std::getenv("XDG_CURRENT_DESKTOP"), what)}};
}

}  // namespace

// Receives the Request object's Response signal.
class PortalResponse : public QObject {
  Q_OBJECT
 public:
  std::optional<pw::PortalAnswer> answer;
  QEventLoop loop;

 public slots:
  void response(uint code, const QVariantMap& results) {
    if (answer) return;
    std::optional<std::string> uri;
    if (results.contains("uri")) uri = results.value("uri").toString().toStdString();
    answer = pw::readPortalResponse(code, uri);
    loop.quit();
  }
};

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
  const QDBusReply<QDBusObjectPath> handle = bus.call(call, QDBus::Block, static_cast<int>(patience.count()));
  if (!handle.isValid())
    return read_ = failed("the Screenshot portal cannot be reached (" + handle.error().name().toStdString() + ": " +
                          handle.error().message().toStdString() + "); xdg-desktop-portal and a backend for the "
                          "desktop are needed");
  if (handle.value().path() != expected) listen(handle.value().path());

  if (!listener.answer) {
    QTimer::singleShot(patience, &listener.loop, &QEventLoop::quit);
    listener.loop.exec();
  }
  if (!listener.answer) return read_ = failed("the Screenshot portal did not answer in time");
  if (!listener.answer->ok()) return read_ = failed(listener.answer->failure->description);

  // Read at once: some portals write every picture to the same file.
  QImage shot(QString::fromStdString(listener.answer->path));
  if (shot.isNull())
    return read_ = failed("the Screenshot portal's picture " + listener.answer->path + " cannot be read");
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
    if (part.empty()) return read_ = failed("the Screenshot portal's picture does not match the outputs' layout");
  }
  Image out(part.width(), part.height());
  for (int y = 0; y < part.height(); ++y) {
    const auto* src = reinterpret_cast<const Argb*>(shot.constScanLine(part.top + y)) + part.left;
    Argb* dst = out.scanLine(y);
    for (int x = 0; x < part.width(); ++x) dst[x] = src[x] | 0xFF000000u;
  }
  return read_ = {std::move(out), std::nullopt};
}

}  // namespace tolvane::platform::qt

#include "portal_screen.moc"
