#include "platform/qt/clipboard.h"
#include "platform/qt/qt_x11.h"
#include "platform/qt/selection_loss.h"

#include <QAbstractNativeEventFilter>
#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <vector>

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

// The QImageWriter format for a MIME type: by Qt's own table, or the
// "image/<format>" spelling Qt's clipboard offers for every format it writes.
QByteArray writerFormat(const QString& mimeType) {
  const QList<QByteArray> names = QImageWriter::imageFormatsForMimeType(mimeType.toLatin1());
  if (!names.isEmpty()) return names.first();
  if (!mimeType.startsWith(QLatin1String("image/"))) return {};
  const QByteArray name = mimeType.mid(6).toLatin1().toLower();
  for (const QByteArray& f : QImageWriter::supportedImageFormats())
    if (f.toLower() == name) return f;
  return {};
}
}  // namespace

// Qt's X clipboard answers a request for a type it has no data for as if it
// had sent it, without setting the property; a program asking for text then
// reads an empty success. This answers such requests first with a refusal
// (property None, as ICCCM asks), and leaves every other request to Qt.
class RefuseUnknownTargets : public QAbstractNativeEventFilter {
 public:
  RefuseUnknownTargets(xcb_connection_t* c, std::function<const ImageMimeData*()> serving,
                       std::function<void()> onActivity)
      : c_(c), serving_(std::move(serving)), onActivity_(std::move(onActivity)) {
    clipboard_ = intern("CLIPBOARD");
    // Qt answers these about the data rather than with it.
    passOn_ = {intern("TARGETS"), intern("MULTIPLE"), intern("TIMESTAMP")};
  }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const int type = event->response_type & 0x7f;
    // A request, or a requestor taking a piece of a long transfer.
    if (type == XCB_SELECTION_REQUEST || type == XCB_PROPERTY_NOTIFY) onActivity_();
    if (type != XCB_SELECTION_REQUEST) return false;
    const auto* req = reinterpret_cast<const xcb_selection_request_event_t*>(event);
    const ImageMimeData* data = serving_();
    if (!data || req->selection != clipboard_ || req->target == XCB_NONE) return false;
    for (xcb_atom_t a : passOn_)
      if (req->target == a) return false;
    if (!data->bytesFor(name(req->target)).isEmpty()) return false;

    // xcb_send_event always sends 32 bytes.
    char buffer[32] = {};
    xcb_selection_notify_event_t refusal{};
    refusal.response_type = XCB_SELECTION_NOTIFY;
    refusal.time = req->time;
    refusal.requestor = req->requestor;
    refusal.selection = req->selection;
    refusal.target = req->target;
    refusal.property = XCB_NONE;
    std::memcpy(buffer, &refusal, sizeof refusal);
    xcb_send_event(c_, false, req->requestor, XCB_EVENT_MASK_NO_EVENT, buffer);
    xcb_flush(c_);
    return true;
  }

 private:
  xcb_atom_t intern(const char* atomName) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        c_, xcb_intern_atom(c_, 0, static_cast<uint16_t>(std::strlen(atomName)), atomName), nullptr);
    const xcb_atom_t a = r ? r->atom : XCB_NONE;
    std::free(r);
    return a;
  }
  QString name(xcb_atom_t atom) {
    auto it = names_.find(atom);
    if (it != names_.end()) return it->second;
    QString text;
    if (xcb_get_atom_name_reply_t* r = xcb_get_atom_name_reply(c_, xcb_get_atom_name(c_, atom), nullptr)) {
      text = QString::fromLatin1(xcb_get_atom_name_name(r), xcb_get_atom_name_name_length(r));
      std::free(r);
    }
    return names_.emplace(atom, text).first->second;
  }

  xcb_connection_t* c_;
  std::function<const ImageMimeData*()> serving_;
  std::function<void()> onActivity_;
  xcb_atom_t clipboard_ = XCB_NONE;
  std::vector<xcb_atom_t> passOn_;
  std::map<xcb_atom_t, QString> names_;
};

ImageMimeData::ImageMimeData(const Image& picture, QByteArray png)
    : ImageMimeData(picture, std::function<QByteArray(const Image&)>{}) {
  png_ = std::move(png);
  if (!png_.isEmpty()) picture_ = Image();
}

ImageMimeData::ImageMimeData(const Image& picture, std::function<QByteArray(const Image&)> encodePng)
    : picture_(picture), encodePng_(std::move(encodePng)) {
  formats_ << kPng;
  for (const QByteArray& m : QImageWriter::supportedMimeTypes()) {
    const QString type = QString::fromLatin1(m);
    if (type != kPng && !formats_.contains(type)) formats_ << type;
  }
  formats_ << kQtImage;
}

void ImageMimeData::mark(const QString& type) {
  marker_ = type;
  formats_ << type;
}

QStringList ImageMimeData::formats() const { return formats_; }

bool ImageMimeData::hasFormat(const QString& mimeType) const { return formats_.contains(mimeType); }

QImage ImageMimeData::image() const {
  if (picture_.isNull()) return QImage::fromData(png_, "PNG").convertToFormat(QImage::Format_RGB32);
  const QImage wrapped(reinterpret_cast<const uchar*>(picture_.constBits()), picture_.width(), picture_.height(),
                       picture_.width() * 4, QImage::Format_RGB32);
  return wrapped.copy();
}

// Once the PNG is made, it is all that is kept: the other types are made
// from it (PNG is lossless), and the picture, as large as the region, goes.
const QByteArray& ImageMimeData::png() const {
  if (png_.isEmpty() && encodePng_ && !picture_.isNull()) {
    png_ = encodePng_(picture_);
    if (!png_.isEmpty()) picture_ = Image();
  }
  return png_;
}

QVariant ImageMimeData::retrieveData(const QString& mimeType, QMetaType type) const {
  if (mimeType == kPng) return png();
  if (!marker_.isEmpty() && mimeType == marker_) return QByteArray::number(QCoreApplication::applicationPid());
  if (mimeType == kQtImage) {
    if (type.id() == QMetaType::QImage) return image();
    return png();
  }
  auto it = converted_.find(mimeType);
  if (it == converted_.end()) {
    const QByteArray format = writerFormat(mimeType);
    if (format.isEmpty()) return {};  // not a type the picture can be given as
    it = converted_.emplace(mimeType, encodeWithQt(image(), format)).first;
  }
  if (it->second.isEmpty()) return {};  // Qt could not write it
  return it->second;
}

QByteArray ImageMimeData::bytesFor(const QString& type) const {
  return retrieveData(type, QMetaType(QMetaType::QByteArray)).toByteArray();
}

QByteArray encodePng(Encoders& encoders, const Image& picture) {
  EncodeResult r = encoders.encode(Format::Png, picture, EncodeParams{});
  if (r.ok() && !r.bytes.empty())
    return QByteArray(reinterpret_cast<const char*>(r.bytes.data()), static_cast<qsizetype>(r.bytes.size()));
  const QImage img(reinterpret_cast<const uchar*>(picture.constBits()), picture.width(), picture.height(),
                   picture.width() * 4, QImage::Format_RGB32);
  return encodeWithQt(img, "png");
}

QtClipboard::QtClipboard(Encoders& encoders) : encoders_(encoders) {
  const QString platform = QGuiApplication::platformName();
  tracksOwnership_ = platform == QLatin1String("xcb") || platform == QLatin1String("wayland");
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &QtClipboard::clipboardChanged);
  xcb_connection_t* x11 = x11Connection();
  if (tracksOwnership_ && x11) {
    activity_.start();
    refuser_ = std::make_unique<RefuseUnknownTargets>(
        x11, [this]() -> const ImageMimeData* { return holding_ ? data_.data() : nullptr; },
        [this] { lastRequest_ = activity_.elapsed(); });
    QCoreApplication::instance()->installNativeEventFilter(refuser_.get());
  }
  if (platform == QLatin1String("wayland")) {
    marker_ = QStringLiteral("application/x-tolvane-owner-") + QString::number(QCoreApplication::applicationPid());
    loss_ = SelectionLoss::watch(marker_, [this] { lostUnseen(); });
  }
}

QtClipboard::~QtClipboard() {
  if (refuser_) QCoreApplication::instance()->removeNativeEventFilter(refuser_.get());
}

void QtClipboard::setImage(const Image& picture) {
  auto* data = new ImageMimeData(picture, [this](const Image& p) { return encodePng(encoders_, p); });
  if (loss_) data->mark(marker_);
  data_ = data;
  unencoded_ = picture;
  holding_ = true;
  QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
  if (loss_) loss_->claimed();
}

void QtClipboard::encode() {
  if (!unencoded_) return;
  // The clipboard may have changed hands already; the PNG is still handed on.
  const QByteArray png = data_ ? data_->png() : encodePng(encoders_, *unencoded_);
  unencoded_.reset();
  if (onPng) onPng(png);
}

void QtClipboard::serveFirstRequests(int firstRequestMs, int quietMs, int mostMs) {
  if (!serving() || !refuser_) return;
  const qint64 start = activity_.elapsed();
  lastRequest_ = -1;
  QEventLoop loop;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
    const qint64 now = activity_.elapsed();
    const bool nobodyAsked = lastRequest_ < start && now - start >= firstRequestMs;
    const bool quietAgain = lastRequest_ >= start && now - lastRequest_ >= quietMs;
    if (nobodyAsked || quietAgain || now - start >= mostMs || !serving()) loop.quit();
  });
  tick.start(5);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void QtClipboard::clear() {
  if (!holding_) return;
  holding_ = false;
  QClipboard* cb = QGuiApplication::clipboard();
  if (!tracksOwnership_ || cb->ownsClipboard()) cb->clear(QClipboard::Clipboard);
}

// The compositor shows another's content (or none) where ours should be,
// without Qt having been told.
void QtClipboard::lostUnseen() {
  if (!holding_) return;
  holding_ = false;
  if (onLost) onLost();
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
