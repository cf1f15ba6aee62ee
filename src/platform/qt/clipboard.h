// The X CLIPBOARD: a picture offered as PNG first and in every other image
// type Qt can write, converted only when someone asks.
#pragma once

#include <QMimeData>
#include <QObject>
#include <QElapsedTimer>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "platform/output.h"

namespace tolvane::platform::qt {

class ImageMimeData : public QMimeData {
 public:
  // `png` is the picture already encoded; it is handed out as it is.
  ImageMimeData(const Image& picture, QByteArray png);
  // The PNG is made by `encodePng` when first needed.
  ImageMimeData(const Image& picture, std::function<QByteArray(const Image&)> encodePng);

  QStringList formats() const override;
  bool hasFormat(const QString& mimeType) const override;
  // What a program asking for `type` is given: the picture in that type, or
  // nothing when it cannot be had as that type (the request is refused).
  // Besides formats(), every "image/<name>" Qt's clipboard offers for any
  // format Qt can write.
  QByteArray bytesFor(const QString& type) const;
  // How many types other than PNG were made so far (each once).
  int conversions() const { return static_cast<int>(converted_.size()); }
  // The picture as given, until its PNG is made; null after.
  const Image& picture() const { return picture_; }
  // Offers `type` besides, as the mark that the content is ours.
  void mark(const QString& type);
  // The picture as PNG, encoded on the first call.
  const QByteArray& png() const;

 protected:
  QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

 private:
  QImage image() const;  // a deep copy, safe to hand out
  mutable Image picture_;
  mutable QByteArray png_;
  std::function<QByteArray(const Image&)> encodePng_;
  QStringList formats_;
  QString marker_;
  mutable std::map<QString, QByteArray> converted_;
};

// PNG bytes of `picture` from the encoders, or from Qt when they fail.
QByteArray encodePng(Encoders& encoders, const Image& picture);

class RefuseUnknownTargets;
class SelectionLoss;

class QtClipboard : public QObject, public Clipboard {
 public:
  explicit QtClipboard(Encoders& encoders);
  ~QtClipboard() override;

  // Takes the clipboard at once; the PNG is made by encode(), or when
  // someone asks for it first.
  void setImage(const Image& picture) override;
  void encode() override;
  void clear() override;

  // Our picture is on the clipboard and other programs may still fetch it.
  // Only X and Wayland tell ownership; elsewhere nothing outside can fetch it.
  bool serving() const { return holding_ && tracksOwnership_; }
  // Answers the requests that come right after setImage(), before the caller
  // goes busy (building a dialog): waits up to `firstRequest` for one, then
  // as long as requests keep coming no more than `quiet` apart, `most` in all.
  // Returns at once when nothing outside can ask.
  void serveFirstRequests(int firstRequestMs = 60, int quietMs = 40, int mostMs = 1000);
  // Another program took the clipboard over.
  std::function<void()> onLost;
  // Given the PNG each setImage put on the clipboard, byte for byte, by encode().
  std::function<void(const QByteArray& png)> onPng;

 private:
  void clipboardChanged();
  void lostUnseen();
  Encoders& encoders_;
  QPointer<ImageMimeData> data_;  // Qt owns it and deletes it when the clipboard changes hands
  std::optional<Image> unencoded_;  // set until encode()
  bool holding_ = false;
  bool tracksOwnership_ = false;
  std::unique_ptr<RefuseUnknownTargets> refuser_;
  // Wayland: our content's mark, and who watches for it leaving the clipboard.
  QString marker_;
  std::unique_ptr<SelectionLoss> loss_;
  qint64 lastRequest_ = -1;  // on activity_, when a request or a transfer step was last seen
  QElapsedTimer activity_;
};

}  // namespace tolvane::platform::qt
