#include "platform/qt/qt_screen.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <algorithm>

namespace tolvane::platform::qt {

namespace {
QRect qtScreenRect() {
  const QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->virtualGeometry() : QRect(0, 0, 640, 480);
}
}  // namespace

int QtScreen::width() const { return qtScreenRect().width(); }
int QtScreen::height() const { return qtScreenRect().height(); }

ScreenRead QtScreen::grab() {
  const ScreenRead unread{{}, Failure{kScreenReadFailed, "Qt could not read the primary screen"}};
  QScreen* s = QGuiApplication::primaryScreen();
  if (!s) return unread;
  const QRect r = qtScreenRect();
  QImage shot = s->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
  if (shot.isNull()) return unread;
  shot = shot.convertToFormat(QImage::Format_RGB32);
  Image out(r.width(), r.height());
  for (int y = 0; y < std::min(shot.height(), out.height()); ++y) {
    const auto* src = reinterpret_cast<const Argb*>(shot.constScanLine(y));
    Argb* dst = out.scanLine(y);
    for (int x = 0; x < std::min(shot.width(), out.width()); ++x) dst[x] = src[x] | 0xFF000000u;
  }
  return {std::move(out), std::nullopt};
}

}  // namespace tolvane::platform::qt
