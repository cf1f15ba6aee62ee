#include "platform/qt/pictures.h"

#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>
#include <map>
#include <utility>

#include "layout/icons.h"

namespace tolvane::platform::qt {

namespace {

QColor qColor(ColorRef c) { return QColor::fromRgb(argbFromColorRef(c)); }

QPen qPen(const layout::IconPen& pen) {
  QPen p(qColor(pen.color), pen.width);
  p.setCapStyle(Qt::RoundCap);
  p.setJoinStyle(Qt::RoundJoin);
  return p;
}

QPainterPath qPath(const std::vector<layout::IconStep>& steps) {
  using Kind = layout::IconStep::Kind;
  QPainterPath path;
  for (const layout::IconStep& s : steps) {
    const QPointF to(s.to.x, s.to.y);
    switch (s.kind) {
      case Kind::MoveTo: path.moveTo(to); break;
      case Kind::LineTo: path.lineTo(to); break;
      case Kind::CubicTo: path.cubicTo(QPointF(s.c1.x, s.c1.y), QPointF(s.c2.x, s.c2.y), to); break;
      case Kind::Close: path.closeSubpath(); break;
    }
  }
  return path;
}

void drawFigure(QPainter& p, const layout::IconFigure& f) {
  p.setPen(f.pen ? qPen(*f.pen) : QPen(Qt::NoPen));
  p.setBrush(f.fill ? QBrush(qColor(*f.fill)) : QBrush(Qt::NoBrush));
  const QRectF box(f.x, f.y, f.w, f.h);
  switch (f.outline) {
    case layout::IconOutline::Path: p.drawPath(qPath(f.steps)); break;
    case layout::IconOutline::Rect: p.drawRect(box); break;
    case layout::IconOutline::RoundedRect: p.drawRoundedRect(box, f.radius, f.radius); break;
    case layout::IconOutline::Ellipse: p.drawEllipse(box); break;
  }
}

}  // namespace

QImage drawIcon(const layout::Icon& icon, double scale) {
  if (icon.width <= 0 || icon.height <= 0) return {};
  // w x h logical pixels holding `scale` device pixels per logical one.
  QImage img(static_cast<int>(std::ceil(icon.width * scale)), static_cast<int>(std::ceil(icon.height * scale)),
             QImage::Format_ARGB32_Premultiplied);
  img.setDevicePixelRatio(scale);
  img.fill(icon.background ? qColor(*icon.background) : QColor(Qt::transparent));
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  if (icon.mirrored) {
    p.translate(icon.width, 0);
    p.scale(-1, 1);
  }
  for (const layout::IconFigure& f : icon.figures) drawFigure(p, f);
  return img;
}

const QImage& pictureImage(PictureId id, double scale) {
  constexpr std::size_t kCount = static_cast<std::size_t>(PictureId::IconCopy) + 1;
  const auto i = static_cast<std::size_t>(id);
  if (scale != 1.0) {
    // Drawn again at the screen's density, so that icons stay sharp.
    static std::map<std::pair<std::size_t, double>, QImage> scaled;
    const auto key = std::make_pair(i < kCount ? i : 0, scale);
    auto it = scaled.find(key);
    if (it == scaled.end()) it = scaled.emplace(key, drawIcon(layout::iconOf(id), scale)).first;
    return it->second;
  }
  static std::array<QImage, kCount> cache;
  static std::array<bool, kCount> made{};
  if (i >= kCount) return cache[0];
  if (!made[i]) {
    cache[i] = drawIcon(layout::iconOf(id), 1.0);
    made[i] = true;
  }
  return cache[i];
}

QImage windowIconImage() { return drawIcon(layout::windowIcon(), 1.0); }

}  // namespace tolvane::platform::qt
