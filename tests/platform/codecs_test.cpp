// The real encoders: each output is decoded again with the format's own library.
#include "platform/codec_readers.h"

namespace tolvane {
namespace {

using namespace codectest;

// --- PNG ---

TEST(PngEncoder, RoundTripsExactlyAsEightBitRgb) {
  const Image pic = noisePicture(37, 23);
  const EncodeResult r = encode(Format::Png, pic);
  ASSERT_TRUE(r.ok()) << r.failure->description;
  const PngInfo back = readPng(r.bytes);
  EXPECT_EQ(back.bitDepth, 8);
  EXPECT_EQ(back.colorType, PNG_COLOR_TYPE_RGB);
  EXPECT_EQ(back.picture, pic);
}

TEST(PngEncoder, RoundTripsExactlyWhenDeflatedInParallelParts) {
  // Large enough to be cut into parts; odd height so the parts differ in size.
  const Image pic = noisePicture(1031, 777);
  const EncodeResult r = encode(Format::Png, pic);
  ASSERT_TRUE(r.ok()) << r.failure->description;
  EXPECT_EQ(readPng(r.bytes).picture, pic);
  Image smooth(1200, 601);
  for (int y = 0; y < smooth.height(); ++y)
    for (int x = 0; x < smooth.width(); ++x) smooth.setPixel(x, y, 0xFF000000u | static_cast<Argb>((x / 7) << 8 | y % 256));
  const EncodeResult s = encode(Format::Png, smooth);
  ASSERT_TRUE(s.ok());
  EXPECT_EQ(readPng(s.bytes).picture, smooth);
}

TEST(PngEncoder, WritesOnePixelAndCompressesFlatAreas) {
  const Image one(1, 1, 0xFF123456u);
  const EncodeResult r1 = encode(Format::Png, one);
  ASSERT_TRUE(r1.ok()) << r1.failure->description;
  EXPECT_EQ(readPng(r1.bytes).picture, one);

  const Image flat(800, 600, 0xFFF0F0F0u);
  const EncodeResult r2 = encode(Format::Png, flat);
  ASSERT_TRUE(r2.ok());
  EXPECT_LT(r2.bytes.size(), 800u * 600u * 3u / 50u);  // UP filter + deflate: tiny
  EXPECT_EQ(readPng(r2.bytes).picture, flat);
}

// --- JPEG ---

TEST(JpegEncoder, DecodesCloseToTheSourceAtTheRequestedQuality) {
  const Image pic = gradientPicture(64, 48);
  const EncodeResult r = encode(Format::Jpeg, pic, {80, 24, 6});
  ASSERT_TRUE(r.ok()) << r.failure->description;
  const JpegInfo back = readJpeg(r.bytes);
  ASSERT_EQ(back.picture.width(), 64);
  ASSERT_EQ(back.picture.height(), 48);
  EXPECT_EQ(back.components, 3);
  // libjpeg's standard luminance table starts with 16; quality 80 scales it by 0.4.
  EXPECT_EQ(back.firstLumaQuant, 6);
  const Diff d = diff(pic, back.picture);
  EXPECT_LT(d.mean, 3.0);
  EXPECT_LT(d.max, 40);
}

TEST(JpegEncoder, QualityChangesTheOutputAndOutOfRangeIsRefused) {
  const Image pic = noisePicture(40, 40);
  const EncodeResult low = encode(Format::Jpeg, pic, {20, 24, 6});
  const EncodeResult high = encode(Format::Jpeg, pic, {95, 24, 6});
  ASSERT_TRUE(low.ok() && high.ok());
  EXPECT_LT(low.bytes.size(), high.bytes.size());
  EXPECT_EQ(readJpeg(low.bytes).firstLumaQuant, 40);  // 16 * (5000 / 20) / 100

  const EncodeResult bad = encode(Format::Jpeg, pic, {101, 24, 6});
  EXPECT_FALSE(bad.ok());
  EXPECT_EQ(bad.failure->error, platform::codecs::kEncodeBadParameter);
  EXPECT_TRUE(bad.bytes.empty());
  EXPECT_TRUE(encode(Format::Jpeg, Image(1, 1, 0xFFFF0000u), {0, 24, 6}).ok());
}

// --- BMP ---

TEST(BmpEncoder, WritesAPaddedBottomUp24BitFile) {
  const Image pic = noisePicture(5, 3);  // 15 bytes a row, padded to 16
  const EncodeResult r = encode(Format::Bmp, pic);
  ASSERT_TRUE(r.ok());
  const auto& b = r.bytes;
  ASSERT_EQ(b.size(), 54u + 16u * 3u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(le32(b, 2), b.size());
  EXPECT_EQ(le32(b, 10), 54u);
  EXPECT_EQ(le32(b, 14), 40u);
  EXPECT_EQ(le32(b, 18), 5u);
  EXPECT_EQ(le32(b, 22), 3u);
  EXPECT_EQ(le16(b, 26), 1);
  EXPECT_EQ(le16(b, 28), 24);
  EXPECT_EQ(le32(b, 30), 0u);
  for (int y = 0; y < 3; ++y) {
    const std::size_t row = 54 + static_cast<std::size_t>(2 - y) * 16;  // last row first
    for (int x = 0; x < 5; ++x) {
      const std::size_t at = row + static_cast<std::size_t>(x) * 3;
      const Argb p = 0xFF000000u | (static_cast<Argb>(b[at + 2]) << 16) | (static_cast<Argb>(b[at + 1]) << 8) | b[at];
      EXPECT_EQ(p, pic.pixel(x, y)) << x << "," << y;
    }
    EXPECT_EQ(b[row + 15], 0);  // padding
  }
}

// --- GIF ---

TEST(GifEncoder, KeepsAFewColoursExactly) {
  Image pic(50, 30, 0xFFFFFFFFu);
  pic.fill({5, 5, 20, 25}, 0xFFFF0000u);
  pic.fill({25, 3, 45, 12}, 0xFF0000FFu);
  pic.fill({30, 15, 48, 28}, 0xFF208040u);
  const EncodeResult r = encode(Format::Gif, pic);
  ASSERT_TRUE(r.ok()) << r.failure->description;
  const GifInfo back = readGif(r.bytes);
  EXPECT_EQ(back.version, "GIF89a");
  EXPECT_LE(back.colors, 256);
  EXPECT_EQ(back.picture, pic);
}

TEST(GifEncoder, ReducesManyColoursToAClosePalette) {
  const Image pic = gradientPicture(320, 200);  // thousands of colours
  const EncodeResult r = encode(Format::Gif, pic);
  ASSERT_TRUE(r.ok()) << r.failure->description;
  const GifInfo back = readGif(r.bytes);
  ASSERT_EQ(back.picture.width(), 320);
  ASSERT_EQ(back.picture.height(), 200);
  EXPECT_EQ(back.colors, 256);
  const Diff d = diff(pic, back.picture);
  EXPECT_LT(d.mean, 4.0);
  EXPECT_LT(d.max, 48);
}

TEST(GifEncoder, WritesOnePixel) {
  const Image one(1, 1, 0xFF00FF00u);
  const EncodeResult r = encode(Format::Gif, one);
  ASSERT_TRUE(r.ok()) << r.failure->description;
  EXPECT_EQ(readGif(r.bytes).picture, one);
}

// --- TIFF ---

TEST(TiffEncoder, WritesUncompressed24BitRgbThatReadsBackExactly) {
  testutil::TempDir dir;
  const Image pic = noisePicture(33, 17);
  const EncodeResult r = encode(Format::Tiff, pic, {80, 24, 6});
  ASSERT_TRUE(r.ok()) << r.failure->description;
  const TiffInfo back = readTiff(dir.file("a.tiff", r.bytes));
  EXPECT_EQ(back.compression, COMPRESSION_NONE);
  EXPECT_EQ(back.bitsPerSample, 8);
  EXPECT_EQ(back.samplesPerPixel, 3);
  EXPECT_EQ(back.photometric, PHOTOMETRIC_RGB);
  EXPECT_EQ(back.picture, pic);
  // Uncompressed: the pixel data alone takes 33 * 17 * 3 bytes.
  EXPECT_GE(r.bytes.size(), 33u * 17u * 3u);
}

TEST(TiffEncoder, OffersLzwAndRefusesOtherSettings) {
  testutil::TempDir dir;
  const Image pic(64, 64, 0xFF336699u);
  const EncodeResult lzw = encode(Format::Tiff, pic, {80, 24, 2});
  ASSERT_TRUE(lzw.ok()) << lzw.failure->description;
  const TiffInfo back = readTiff(dir.file("b.tiff", lzw.bytes));
  EXPECT_EQ(back.compression, COMPRESSION_LZW);
  EXPECT_EQ(back.picture, pic);

  for (const EncodeParams p : {EncodeParams{80, 32, 6}, EncodeParams{80, 24, 4}, EncodeParams{80, 8, 6}}) {
    const EncodeResult bad = encode(Format::Tiff, pic, p);
    EXPECT_FALSE(bad.ok());
    EXPECT_EQ(bad.failure->error, platform::codecs::kEncodeBadParameter);
    EXPECT_FALSE(bad.failure->description.empty());
  }
}

// --- every format ---

TEST(Encoders, RefuseAnEmptyPictureWithoutCrashing) {
  for (Format f : {Format::Png, Format::Jpeg, Format::Bmp, Format::Gif, Format::Tiff}) {
    for (const Image& empty : {Image(), Image(0, 5), Image(7, 0)}) {
      const EncodeResult r = encode(f, empty);
      EXPECT_FALSE(r.ok()) << static_cast<int>(f);
      EXPECT_EQ(r.failure->error, platform::codecs::kEncodeEmptyPicture);
      EXPECT_TRUE(r.bytes.empty());
    }
  }
}

TEST(Encoders, RefuseSidesTheFormatCannotHold) {
  const Image wide(70000, 1, 0xFF000000u);
  const EncodeResult gif = encode(Format::Gif, wide);
  EXPECT_FALSE(gif.ok());
  EXPECT_EQ(gif.failure->error, platform::codecs::kEncodeTooLarge);
  // libjpeg's own check, reported through its error manager.
  const EncodeResult jpeg = encode(Format::Jpeg, wide);
  EXPECT_FALSE(jpeg.ok());
  EXPECT_EQ(jpeg.failure->error, platform::codecs::kEncodeLibraryError);
  EXPECT_NE(jpeg.failure->description.find("65500"), std::string::npos) << jpeg.failure->description;
  EXPECT_TRUE(jpeg.bytes.empty());
  // PNG stops at a million pixels a side, where libpng's reader stops by default.
  const EncodeResult png = encode(Format::Png, Image(1, 1000001, 0xFF000000u));
  EXPECT_FALSE(png.ok());
  EXPECT_EQ(png.failure->error, platform::codecs::kEncodeTooLarge);
  EXPECT_NE(png.failure->description.find("height"), std::string::npos) << png.failure->description;
  EXPECT_TRUE(png.bytes.empty());
  // PNG, BMP and TIFF take the wide one.
  const EncodeResult widePng = encode(Format::Png, wide);
  ASSERT_TRUE(widePng.ok());
  EXPECT_EQ(readPng(widePng.bytes).picture, wide);
  EXPECT_TRUE(encode(Format::Bmp, wide).ok());
  EXPECT_TRUE(encode(Format::Tiff, wide).ok());
}

TEST(Encoders, WriteOnePixelInEveryFormat) {
  for (Format f : {Format::Png, Format::Jpeg, Format::Bmp, Format::Gif, Format::Tiff}) {
    const EncodeResult r = encode(f, Image(1, 1, 0xFF808080u));
    EXPECT_TRUE(r.ok()) << static_cast<int>(f) << ": " << r.failure->description;
    EXPECT_FALSE(r.bytes.empty());
  }
}

}  // namespace
}  // namespace tolvane
