// The real encoders: each output is decoded again with the format's own
// library (and, where installed, checked by independent command-line tools).
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>  // before jpeglib.h
#include <jpeglib.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "output/temp_dir.h"
#include "platform/codecs/encoders.h"

namespace tolvane {
namespace {

using platform::EncodeParams;
using platform::EncodeResult;
using platform::Format;
using platform::codecs::LibEncoders;

// Every pixel different and no structure to hide behind: an odd width also
// exercises BMP's row padding.
Image noisePicture(int w, int h, unsigned start = 7) {
  Image img(w, h);
  std::mt19937 rng(start);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, 0xFF000000u | (rng() & 0xFFFFFFu));
  return img;
}

// Smooth colours, what JPEG and palette reduction are made for.
Image gradientPicture(int w, int h) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const auto r = static_cast<Argb>(x * 255 / std::max(w - 1, 1));
      const auto g = static_cast<Argb>(y * 255 / std::max(h - 1, 1));
      const auto b = static_cast<Argb>((x + y) * 127 / std::max(w + h - 2, 1));
      img.setPixel(x, y, 0xFF000000u | (r << 16) | (g << 8) | b);
    }
  return img;
}

int channel(Argb p, int shift) { return static_cast<int>((p >> shift) & 0xFF); }

// Largest and mean per-channel difference between two pictures of one size.
struct Diff {
  int max = 0;
  double mean = 0;
};
Diff diff(const Image& a, const Image& b) {
  Diff d;
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      for (int s : {0, 8, 16}) {
        const int e = std::abs(channel(a.pixel(x, y), s) - channel(b.pixel(x, y), s));
        d.max = std::max(d.max, e);
        sum += e;
      }
  d.mean = sum / (3.0 * static_cast<double>(a.pixelCount()));
  return d;
}

Argb fromRgb(const std::uint8_t* p) {
  return 0xFF000000u | (static_cast<Argb>(p[0]) << 16) | (static_cast<Argb>(p[1]) << 8) | p[2];
}

// --- readers ---

struct PngInfo {
  Image picture;
  int bitDepth = 0, colorType = -1;
};
PngInfo readPng(const std::vector<std::uint8_t>& bytes) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  PngInfo out;
  if (!png_image_begin_read_from_memory(&img, bytes.data(), bytes.size())) return out;
  // IHDR fields straight from the stream: bit depth at 24, colour type at 25.
  out.bitDepth = bytes[24];
  out.colorType = bytes[25];
  img.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr)) return out;
  Image pic(static_cast<int>(img.width), static_cast<int>(img.height));
  for (int y = 0; y < pic.height(); ++y)
    for (int x = 0; x < pic.width(); ++x)
      pic.setPixel(x, y, fromRgb(&rgb[(static_cast<std::size_t>(y) * pic.width() + x) * 3]));
  out.picture = pic;
  return out;
}

struct JpegInfo {
  Image picture;
  int components = 0;
  int firstLumaQuant = 0;  // DC entry of the luminance quantisation table
};
JpegInfo readJpeg(const std::vector<std::uint8_t>& bytes) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), bytes.size());
  jpeg_read_header(&cinfo, TRUE);
  JpegInfo out;
  out.components = cinfo.num_components;
  out.firstLumaQuant = cinfo.quant_tbl_ptrs[0] ? cinfo.quant_tbl_ptrs[0]->quantval[0] : 0;
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  Image pic(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height));
  std::vector<std::uint8_t> row(cinfo.output_width * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    const int y = static_cast<int>(cinfo.output_scanline);
    JSAMPROW rows[1] = {row.data()};
    jpeg_read_scanlines(&cinfo, rows, 1);
    for (int x = 0; x < pic.width(); ++x) pic.setPixel(x, y, fromRgb(&row[static_cast<std::size_t>(x) * 3]));
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  out.picture = pic;
  return out;
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

struct GifReadState {
  const std::vector<std::uint8_t>* bytes;
  std::size_t pos = 0;
};
int gifRead(GifFileType* gif, GifByteType* buf, int n) {
  auto* st = static_cast<GifReadState*>(gif->UserData);
  const auto left = st->bytes->size() - st->pos;
  const auto take = std::min(static_cast<std::size_t>(n), left);
  std::memcpy(buf, st->bytes->data() + st->pos, take);
  st->pos += take;
  return static_cast<int>(take);
}
struct GifInfo {
  Image picture;
  int colors = 0;
  std::string version;
};
GifInfo readGif(const std::vector<std::uint8_t>& bytes) {
  GifInfo out;
  out.version.assign(bytes.begin(), bytes.begin() + 6);
  GifReadState st{&bytes};
  int err = 0;
  GifFileType* gif = DGifOpen(&st, gifRead, &err);
  if (!gif) return out;
  if (DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1) {
    const ColorMapObject* map = gif->SColorMap ? gif->SColorMap : gif->SavedImages[0].ImageDesc.ColorMap;
    out.colors = map->ColorCount;
    Image pic(gif->SWidth, gif->SHeight);
    const GifByteType* px = gif->SavedImages[0].RasterBits;
    for (int y = 0; y < pic.height(); ++y)
      for (int x = 0; x < pic.width(); ++x) {
        const GifColorType c = map->Colors[px[static_cast<std::size_t>(y) * pic.width() + x]];
        pic.setPixel(x, y, 0xFF000000u | (static_cast<Argb>(c.Red) << 16) | (static_cast<Argb>(c.Green) << 8) | c.Blue);
      }
    out.picture = pic;
  }
  DGifCloseFile(gif, &err);
  return out;
}

struct TiffInfo {
  Image picture;
  std::uint16_t compression = 0, bitsPerSample = 0, samplesPerPixel = 0, photometric = 0;
};
TiffInfo readTiff(const std::string& path) {
  TiffInfo out;
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) return out;
  std::uint32_t w = 0, h = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
  TIFFGetField(tif, TIFFTAG_COMPRESSION, &out.compression);
  TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &out.bitsPerSample);
  TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &out.samplesPerPixel);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &out.photometric);
  Image pic(static_cast<int>(w), static_cast<int>(h));
  std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(tif)));
  for (std::uint32_t y = 0; y < h; ++y) {
    if (TIFFReadScanline(tif, row.data(), y, 0) != 1) {
      TIFFClose(tif);
      return out;
    }
    for (std::uint32_t x = 0; x < w; ++x)
      pic.setPixel(static_cast<int>(x), static_cast<int>(y), fromRgb(&row[static_cast<std::size_t>(x) * 3]));
  }
  TIFFClose(tif);
  out.picture = pic;
  return out;
}

// Output of a shell command, or nullopt when the tool is missing.
std::optional<std::string> run(const std::string& tool, const std::string& args) {
  if (std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) != 0) return std::nullopt;
  std::string out;
  FILE* p = ::popen((tool + " " + args + " 2>&1").c_str(), "r");
  if (!p) return std::nullopt;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  ::pclose(p);
  return out;
}

EncodeResult encode(Format f, const Image& pic, EncodeParams params = {}) {
  LibEncoders enc;
  return enc.encode(f, pic, params);
}

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

// --- independent readers ---

TEST(EncodersWithTools, IdentifyReadsEveryFormatWithItsSize) {
  testutil::TempDir dir;
  const Image pic = gradientPicture(41, 29);
  const std::array<std::pair<Format, std::string>, 5> formats{{{Format::Png, "PNG"},
                                                               {Format::Jpeg, "JPEG"},
                                                               {Format::Bmp, "BMP3"},
                                                               {Format::Gif, "GIF"},
                                                               {Format::Tiff, "TIFF"}}};
  for (const auto& [f, name] : formats) {
    const EncodeResult r = encode(f, pic);
    ASSERT_TRUE(r.ok()) << name << ": " << r.failure->description;
    const std::string path = dir.file("pic." + name, r.bytes);
    const auto out = run("identify", "-format '%m %wx%h %z\\n' '" + path + "'");
    if (!out) GTEST_SKIP() << "imagemagick is not installed";
    EXPECT_EQ(*out, name + " 41x29 8\n");
  }
}

TEST(EncodersWithTools, ImageMagickReadsTheLosslessFormatsToTheSamePixels) {
  testutil::TempDir dir;
  const Image pic = noisePicture(7, 5);
  std::string format, expected;
  for (int y = 0; y < pic.height(); ++y)
    for (int x = 0; x < pic.width(); ++x) {
      format += "%[hex:p{" + std::to_string(x) + "," + std::to_string(y) + "}] ";
      char hex[8];
      std::snprintf(hex, sizeof hex, "%06X", pic.pixel(x, y) & 0xFFFFFFu);
      expected += std::string(hex) + " ";
    }
  for (const auto& [f, ext] : {std::pair{Format::Png, "png"}, std::pair{Format::Bmp, "bmp"},
                               std::pair{Format::Tiff, "tiff"}}) {
    const EncodeResult r = encode(f, pic);
    ASSERT_TRUE(r.ok()) << ext;
    const std::string path = dir.file(std::string("raw.") + ext, r.bytes);
    const auto out = run("identify", "-format '" + format + "' '" + path + "'");
    if (!out) GTEST_SKIP() << "imagemagick is not installed";
    EXPECT_EQ(*out, expected) << ext;
  }
}

TEST(EncodersWithTools, TiffinfoSeesNoCompressionAndThreeEightBitSamples) {
  testutil::TempDir dir;
  const EncodeResult r = encode(Format::Tiff, noisePicture(12, 9), {80, 24, 6});
  ASSERT_TRUE(r.ok());
  const auto out = run("tiffinfo", "'" + dir.file("c.tiff", r.bytes) + "'");
  if (!out) GTEST_SKIP() << "libtiff-tools is not installed";
  EXPECT_NE(out->find("Image Width: 12 Image Length: 9"), std::string::npos) << *out;
  EXPECT_NE(out->find("Compression Scheme: None"), std::string::npos) << *out;
  EXPECT_NE(out->find("Bits/Sample: 8"), std::string::npos) << *out;
  EXPECT_NE(out->find("Samples/Pixel: 3"), std::string::npos) << *out;
  EXPECT_NE(out->find("Photometric Interpretation: RGB color"), std::string::npos) << *out;
}

}  // namespace
}  // namespace tolvane
