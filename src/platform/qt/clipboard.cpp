#include "platform/qt/clipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>

namespace tolvane::platform::qt {

namespace {
const QString kPng = QStringLiteral("image/png");
const QString kQtImage = QStringLiteral("application/x-qt-image");

QByteArray encodeWithQt(const QImage& img, const QByteArray& format) {
  QByteArray out;
  QBuffer buf(&out);
  buf.open(QIODevice::WriteOnly);
  QImageWriter writer(&buf, format);
  if (!writer.write(img)) return {};
  return out;
}
}  // namespace

ImageMimeData::ImageMimeData(const Image& picture, QByteArray png) : picture_(picture), png_(std::move(png)) {
  formats_ << kPng;
  for (const QByteArray& m : QImageWriter::supportedMimeTypes()) {
    const QString type = QString::fromLatin1(m);
    if (type != kPng && !formats_.contains(type)) formats_ << type;
  }
  formats_ << kQtImage;
}

QStringList ImageMimeData::formats() const { return formats_; }

bool ImageMimeData::hasFormat(const QString& mimeType) const { return formats_.contains(mimeType); }

QImage ImageMimeData::image() const {
  const QImage wrapped(reinterpret_cast<const uchar*>(picture_.constBits()), picture_.width(), picture_.height(),
                       picture_.width() * 4, QImage::Format_RGB32);
  return wrapped.copy();
}

QVariant ImageMimeData::retrieveData(const QString& mimeType, QMetaType type) const {
  if (mimeType == kPng) return png_;
  if (mimeType == kQtImage) {
    if (type.id() == QMetaType::QImage) return image();
    return png_;
  }
  if (!formats_.contains(mimeType)) return {};
  auto it = converted_.find(mimeType);
  if (it == converted_.end()) {
    const QList<QByteArray> names = QImageWriter::imageFormatsForMimeType(mimeType.toLatin1());
    QByteArray bytes;
    if (!names.isEmpty()) bytes = encodeWithQt(image(), names.first());
    it = converted_.emplace(mimeType, bytes).first;
  }
  return it->second;
}

QByteArray encodePng(Encoders& encoders, const Image& picture) {
  EncodeResult r = encoders.encode(Format::Png, picture, EncodeParams{});
  if (r.ok && !r.bytes.empty())
    return QByteArray(reinterpret_cast<const char*>(r.bytes.data()), static_cast<qsizetype>(r.bytes.size()));
  const QImage img(reinterpret_cast<const uchar*>(picture.constBits()), picture.width(), picture.height(),
                   picture.width() * 4, QImage::Format_RGB32);
  return encodeWithQt(img, "png");
}

QtClipboard::QtClipboard(Encoders& encoders) : encoders_(encoders) {
  tracksOwnership_ = QGuiApplication::platformName() == QLatin1String("xcb");
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &QtClipboard::clipboardChanged);
}

QtClipboard::~QtClipboard() = default;

void QtClipboard::setImage(const Image& picture) {
  auto* data = new ImageMimeData(picture, encodePng(encoders_, picture));
  holding_ = true;
  QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
}

void QtClipboard::clear() {
  if (!holding_) return;
  holding_ = false;
  QClipboard* cb = QGuiApplication::clipboard();
  if (!tracksOwnership_ || cb->ownsClipboard()) cb->clear(QClipboard::Clipboard);
}

void QtClipboard::clipboardChanged() {
  // Under the offscreen platform ownsClipboard() is always false: no
  // ownership to lose there.
  if (!tracksOwnership_ || !holding_) return;
  if (QGuiApplication::clipboard()->ownsClipboard()) return;
  holding_ = false;
  if (onLost) onLost();
}

}  // namespace tolvane::platform::qt
