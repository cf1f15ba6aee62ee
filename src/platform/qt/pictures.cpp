#include "platform/qt/pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <array>
#include <cmath>
#include <map>
#include <utility>

namespace tolvane::platform::qt {

namespace {

const QColor kInk(0x33, 0x3D, 0x4A);     // icon strokes
const QColor kAccent(0x00, 0x7A, 0xEC);  // the selection's blue
const QColor kRed(0xD9, 0x35, 0x35);

// A picture of w x h logical pixels holding `scale` device pixels per
// logical one; painters draw on it in logical pixels.
QImage canvas(int w, int h, double scale) {
  QImage img(static_cast<int>(std::ceil(w * scale)), static_cast<int>(std::ceil(h * scale)),
             QImage::Format_ARGB32_Premultiplied);
  img.setDevicePixelRatio(scale);
  return img;
}

QImage blank(int w, int h, double scale = 1.0) {
  QImage img = canvas(w, h, scale);
  img.fill(Qt::transparent);
  return img;
}

QPen pen(const QColor& c, double width = 1.5) {
  QPen p(c, width);
  p.setCapStyle(Qt::RoundCap);
  p.setJoinStyle(Qt::RoundJoin);
  return p;
}

// A curved arrow turning back to the left (undo); mirrored it is redo.
void drawTurnArrow(QPainter& p, bool mirrored) {
  if (mirrored) {
    p.translate(16, 0);
    p.scale(-1, 1);
  }
  QPainterPath path;
  path.moveTo(13, 12.5);
  path.cubicTo(13, 7.5, 10, 5.5, 4.5, 5.5);
  p.setPen(pen(kInk));
  p.drawPath(path);
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawPolygon(QPolygonF({QPointF(1.5, 5.5), QPointF(6, 1.8), QPointF(6, 9.2)}));
}

// A floppy disk: body, shutter and label.
void drawFloppy(QPainter& p) {
  p.setPen(pen(kInk, 1.2));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(2, 2, 12, 12), 1.2, 1.2);
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawRect(QRectF(5, 2.5, 6, 4));
  p.setBrush(kAccent);
  p.drawRect(QRectF(4.5, 9, 7, 4.4));
}

// Two sheets: copy to the clipboard.
void drawSheets(QPainter& p) {
  p.setPen(pen(kInk, 1.2));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(2.5, 2.5, 8, 9));
  p.setPen(pen(kAccent, 1.2));
  p.drawRect(QRectF(5.5, 5.5, 8, 9));
}

QImage icon(PictureId id, double scale) {
  QImage img = blank(16, 16, scale);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  switch (id) {
    case PictureId::IconRect:
      p.setPen(pen(kInk));
      p.drawRect(QRectF(2.5, 3.5, 11, 9));
      break;
    case PictureId::IconEllipse:
      p.setPen(pen(kInk));
      p.drawEllipse(QRectF(1.5, 3, 13, 10));
      break;
    case PictureId::IconText: {
      // A capital A from strokes, so no font is needed.
      p.setPen(pen(kInk, 1.8));
      p.drawLine(QPointF(3, 14), QPointF(8, 2));
      p.drawLine(QPointF(8, 2), QPointF(13, 14));
      p.drawLine(QPointF(5.2, 9.5), QPointF(10.8, 9.5));
      break;
    }
    case PictureId::IconArrow:
      p.setPen(pen(kInk, 1.6));
      p.drawLine(QPointF(2.5, 13.5), QPointF(11, 5));
      p.setPen(Qt::NoPen);
      p.setBrush(kInk);
      p.drawPolygon(QPolygonF({QPointF(14, 2), QPointF(12.8, 8.6), QPointF(7.4, 3.2)}));
      break;
    case PictureId::IconUndo:
      drawTurnArrow(p, false);
      break;
    case PictureId::IconRedo:
      drawTurnArrow(p, true);
      break;
    case PictureId::IconSave:
      drawFloppy(p);
      break;
    case PictureId::IconClose:
      p.setPen(pen(kRed, 2));
      p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
      p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
      break;
    case PictureId::IconCopy:
      drawSheets(p);
      break;
    default:
      break;
  }
  return img;
}

// The drop-down chooser's face: a white field and an arrow button on the right.
QImage comboFace(PictureId id, double scale) {
  QImage img = canvas(50, 22, scale);
  QColor border(0xA0, 0xA0, 0xA0), button(0xF0, 0xF0, 0xF0), arrow(0x40, 0x40, 0x40);
  if (id == PictureId::ComboHover) {
    border = QColor(0x00, 0x78, 0xD7);
    button = QColor(0xE5, 0xF1, 0xFB);
  } else if (id == PictureId::ComboPressed) {
    border = QColor(0x00, 0x54, 0x99);
    button = QColor(0xCC, 0xE4, 0xF7);
  }
  img.fill(Qt::white);
  QPainter p(&img);
  p.setPen(border);
  p.drawRect(0, 0, 49, 21);
  p.fillRect(33, 1, 16, 20, button);
  p.drawLine(32, 1, 32, 20);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(arrow);
  p.drawPolygon(QPolygonF({QPointF(37, 9), QPointF(45, 9), QPointF(41, 13.5)}));
  return img;
}

QImage handle(double scale) {
  QImage img = canvas(4, 4, scale);
  img.fill(QColor(0, 122, 236));
  return img;
}

QImage make(PictureId id, double scale) {
  switch (id) {
    case PictureId::None: return {};
    case PictureId::Handle: return handle(scale);
    case PictureId::ComboRest:
    case PictureId::ComboHover:
    case PictureId::ComboPressed: return comboFace(id, scale);
    default: return icon(id, scale);
  }
}

}  // namespace

const QImage& pictureImage(PictureId id, double scale) {
  constexpr std::size_t kCount = static_cast<std::size_t>(PictureId::IconCopy) + 1;
  const auto i = static_cast<std::size_t>(id);
  if (scale != 1.0) {
    // Drawn again at the screen's density, so that icons stay sharp.
    static std::map<std::pair<std::size_t, double>, QImage> scaled;
    const auto key = std::make_pair(i < kCount ? i : 0, scale);
    auto it = scaled.find(key);
    if (it == scaled.end()) it = scaled.emplace(key, make(i < kCount ? id : PictureId::None, scale)).first;
    return it->second;
  }
  static std::array<QImage, kCount> cache;
  static std::array<bool, kCount> made{};
  if (i >= kCount) return cache[0];
  if (!made[i]) {
    cache[i] = make(id, 1.0);
    made[i] = true;
  }
  return cache[i];
}

QImage windowIconImage() {
  QImage img = blank(16, 16);
  QPainter p(&img);
  p.fillRect(1, 1, 14, 14, QColor(0x22, 0x22, 0x22));
  p.fillRect(4, 4, 8, 8, QColor(0xDE, 0xEE, 0xFF));
  p.setPen(QColor(0, 122, 236));
  p.drawRect(4, 4, 7, 7);
  p.fillRect(3, 3, 2, 2, QColor(0, 122, 236));
  p.fillRect(11, 11, 2, 2, QColor(0, 122, 236));
  return img;
}

}  // namespace tolvane::platform::qt
