#include "platform/qt/text_engine.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QString>

namespace tolvane::platform::qt {

namespace {
// 96 dpi as dots per metre: qRound(3780 * 0.0254) == 96.
constexpr int kDotsPerMeter96 = 3780;

QString fromUtf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

QStringList cjkFamilies() {
  return {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei")};
}

QFont cjkFont(float points, const QPaintDevice* device) {
  QFont f;
  f.setFamilies(cjkFamilies());
  f.setStyleHint(QFont::SansSerif);
  const int dpi = device ? device->logicalDpiY() : 96;
  // The font engine turns points into pixels with the device's dpi; scale so
  // the pixel size is the one at 96 dpi on any device.
  f.setPointSizeF(static_cast<double>(points) * 96.0 / (dpi > 0 ? dpi : 96));
  return f;
}

QImage wrapPicture(Image& picture) {
  QImage img(reinterpret_cast<uchar*>(picture.bits()), picture.width(), picture.height(), picture.width() * 4,
             QImage::Format_RGB32);
  img.setDotsPerMeterX(kDotsPerMeter96);
  img.setDotsPerMeterY(kDotsPerMeter96);
  return img;
}

QtTextEngine::QtTextEngine() : metricsDevice_(1, 1, QImage::Format_RGB32) {
  metricsDevice_.setDotsPerMeterX(kDotsPerMeter96);
  metricsDevice_.setDotsPerMeterY(kDotsPerMeter96);
}

float QtTextEngine::width(std::string_view utf8, float points) const {
  if (utf8.empty() || points <= 0) return 0;
  const QFontMetricsF fm(cjkFont(points * static_cast<float>(scale_)), &metricsDevice_);
  return static_cast<float>(fm.horizontalAdvance(fromUtf8(utf8)));
}

void QtTextEngine::draw(Image& target, int originX, int originY, int x, int y, std::string_view utf8, float points,
                        ColorRef color) const {
  if (target.isNull() || utf8.empty() || points <= 0) return;
  QImage img = wrapPicture(target);
  const QFont font = cjkFont(points * static_cast<float>(scale_));
  QPainter p(&img);
  p.setFont(font);
  const Argb c = argbFromColorRef(color);
  p.setPen(QColor(static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>(c & 0xFF)));
  // (x, y) is the top-left of the text cell; QPainter places the baseline.
  const QFontMetrics fm(font, &img);
  p.drawText(QPoint(x - originX, y - originY + fm.ascent()), fromUtf8(utf8));
}

}  // namespace tolvane::platform::qt
