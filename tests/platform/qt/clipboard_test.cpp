#include <gtest/gtest.h>

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImageReader>

#include "platform/qt/clipboard.h"
#include "qt_test_support.h"

namespace tolvane {
namespace {

using platform::qt::ImageMimeData;

// Counts encodes; answers with Qt's PNG so the bytes are real.
class CountingEncoders : public platform::Encoders {
 public:
  platform::EncodeResult encode(platform::Format f, const Image& p, const platform::EncodeParams&) override {
    ++calls;
    platform::EncodeResult r;
    if (fail || f != platform::Format::Png) return {{}, platform::Failure{1, "refused"}};
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    qttest::toQImage(p).save(&buf, "PNG");
    r.bytes.assign(bytes.begin(), bytes.end());
    return r;
  }
  int calls = 0;
  bool fail = false;
};

QImage decode(const QByteArray& bytes, const char* format) {
  QBuffer buf;
  buf.setData(bytes);
  buf.open(QIODevice::ReadOnly);
  QImageReader reader(&buf, format);
  return reader.read();
}

TEST(Clipboard, OffersPngFirstAndHandsOutTheBytesEncodedOnce) {
  const Image picture = qttest::pattern(37, 23);
  CountingEncoders enc;
  const QByteArray png = platform::qt::encodePng(enc, picture);
  ImageMimeData data(picture, png);
  EXPECT_EQ(enc.calls, 1);
  const QStringList formats = data.formats();
  ASSERT_FALSE(formats.isEmpty());
  EXPECT_EQ(formats.first(), QStringLiteral("image/png"));
  EXPECT_TRUE(formats.contains(QStringLiteral("image/bmp")));
  EXPECT_TRUE(data.hasImage());
  // The PNG request is the stored bytes, as they are, every time.
  EXPECT_EQ(data.data("image/png"), png);
  EXPECT_EQ(data.data("image/png"), png);
  EXPECT_EQ(data.conversions(), 0);
  EXPECT_EQ(qttest::differingPixels(decode(png, "png"), qttest::toQImage(picture)), 0);
}

TEST(Clipboard, OtherTypesAreConvertedOnceWhenAskedAndPixelExact) {
  const Image picture = qttest::pattern(40, 30);
  CountingEncoders enc;
  ImageMimeData data(picture, platform::qt::encodePng(enc, picture));
  // Only the PNG is kept: the other types are made from it.
  EXPECT_TRUE(data.picture().isNull());
  const QByteArray bmp = data.data("image/bmp");
  EXPECT_EQ(data.data("image/bmp"), bmp);
  EXPECT_EQ(data.conversions(), 1);
  EXPECT_EQ(qttest::differingPixels(decode(bmp, "bmp"), qttest::toQImage(picture)), 0);
  const QImage asImage = qvariant_cast<QImage>(data.imageData());
  EXPECT_EQ(qttest::differingPixels(asImage, qttest::toQImage(picture)), 0);
  EXPECT_TRUE(data.data("text/plain").isEmpty());
  EXPECT_EQ(enc.calls, 1);
}

// What a program asking the clipboard for a type gets. Qt's X clipboard offers
// "image/<format>" for every format Qt writes besides formats(); anything the
// picture cannot be written as must come back empty, which the X side turns
// into a refusal.
TEST(Clipboard, GivesThePictureOnlyAsTypesItCanBeWrittenAs) {
  const Image picture = qttest::pattern(21, 13);
  CountingEncoders enc;
  ImageMimeData data(picture, platform::qt::encodePng(enc, picture));
  const struct {
    const char* type;
    const char* decodeAs;  // nullptr: refused
    bool exact;
  } cases[] = {
      {"image/png", "png", true},
      {"application/x-qt-image", "png", true},
      {"image/bmp", "bmp", true},
      {"image/x-portable-pixmap", "ppm", true},
      {"image/ppm", "ppm", true},  // the spellings Qt's clipboard adds
      {"image/jpg", "jpeg", false},
      {"image/tif", "tiff", true},
      {"image/pbm", "pbm", false},
      {"text/plain", nullptr, false},
      {"UTF8_STRING", nullptr, false},
      {"STRING", nullptr, false},
      {"PIXMAP", nullptr, false},  // X wants a pixmap id here, not a file
      {"BITMAP", nullptr, false},
      {"image/", nullptr, false},
      {"image/no-such-format", nullptr, false},
      {"foo/bar", nullptr, false},
      {"", nullptr, false},
  };
  for (const auto& c : cases) {
    const QByteArray bytes = data.data(QString::fromLatin1(c.type));
    EXPECT_EQ(data.bytesFor(QString::fromLatin1(c.type)), bytes) << c.type;
    if (!c.decodeAs) {
      EXPECT_TRUE(bytes.isEmpty()) << c.type;
      continue;
    }
    const QImage got = decode(bytes, c.decodeAs);
    ASSERT_EQ(got.size(), QSize(21, 13)) << c.type << ", " << bytes.size() << " bytes";
    if (c.exact) {
      EXPECT_EQ(qttest::differingPixels(got, qttest::toQImage(picture)), 0) << c.type;
    }
  }
}

// Asked before encode(), the PNG is made then, once, and encode() hands on the same bytes.
TEST(Clipboard, APngAskedForBeforeEncodeIsMadeOnce) {
  CountingEncoders enc;
  platform::qt::QtClipboard clipboard(enc);
  QList<QByteArray> handed;
  clipboard.onPng = [&](const QByteArray& png) { handed << png; };
  const Image picture = qttest::pattern(17, 11);
  clipboard.setImage(picture);
  const QByteArray asked = QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png"));
  EXPECT_EQ(enc.calls, 1);
  EXPECT_EQ(qttest::differingPixels(decode(asked, "png"), qttest::toQImage(picture)), 0);
  clipboard.encode();
  EXPECT_EQ(enc.calls, 1);
  ASSERT_EQ(handed.size(), 1);
  EXPECT_EQ(handed.first(), asked);
}

TEST(Clipboard, FallsBackToQtWhenTheEncoderFails) {
  const Image picture = qttest::pattern(16, 9);
  CountingEncoders enc;
  enc.fail = true;
  const QByteArray png = platform::qt::encodePng(enc, picture);
  EXPECT_EQ(enc.calls, 1);
  EXPECT_EQ(qttest::differingPixels(decode(png, "png"), qttest::toQImage(picture)), 0);
}

TEST(Clipboard, PutsThePictureOnTheClipboardAndClearsIt) {
  CountingEncoders enc;
  platform::qt::QtClipboard clipboard(enc);
  const Image picture = qttest::pattern(12, 8);
  clipboard.setImage(picture);
  const QMimeData* now = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(now, nullptr);
  EXPECT_EQ(now->formats().value(0), QStringLiteral("image/png"));
  EXPECT_EQ(qttest::differingPixels(QGuiApplication::clipboard()->image(), qttest::toQImage(picture)), 0);
  // Offscreen there is no X ownership: nothing to serve after the window, and
  // the clipboard's own change signal does not count as losing it.
  EXPECT_FALSE(clipboard.serving());
  bool lost = false;
  clipboard.onLost = [&] { lost = true; };
  clipboard.clear();
  EXPECT_FALSE(lost);
  EXPECT_TRUE(QGuiApplication::clipboard()->image().isNull());
}

TEST(Clipboard, HandsOnThePngItPutOnTheClipboardWithoutEncodingAgain) {
  CountingEncoders enc;
  platform::qt::QtClipboard clipboard(enc);
  QList<QByteArray> handed;
  clipboard.onPng = [&](const QByteArray& png) { handed << png; };
  const Image picture = qttest::pattern(21, 13);
  // Taken at once, before anything slow: the window may still have to go.
  clipboard.setImage(picture);
  EXPECT_EQ(enc.calls, 0);
  EXPECT_TRUE(handed.isEmpty());
  ASSERT_NE(QGuiApplication::clipboard()->mimeData(), nullptr);
  EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->formats().value(0), QStringLiteral("image/png"));
  clipboard.encode();
  clipboard.encode();  // once only
  ASSERT_EQ(handed.size(), 1);
  EXPECT_EQ(enc.calls, 1);
  const QMimeData* now = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(now, nullptr);
  EXPECT_EQ(now->data(QStringLiteral("image/png")), handed.first());
  EXPECT_EQ(enc.calls, 1);
  EXPECT_EQ(qttest::differingPixels(decode(handed.first(), "png"), qttest::toQImage(picture)), 0);
}

}  // namespace
}  // namespace tolvane
