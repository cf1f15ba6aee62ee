// The real encoders' output as independent command-line tools read it.
#include "platform/codec_readers.h"

namespace tolvane {
namespace {

using namespace codectest;

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
  std::string quoted = "'";
  quoted.append(dir.file("c.tiff", r.bytes)).append("'");
  const auto out = run("tiffinfo", quoted);
  if (!out) GTEST_SKIP() << "libtiff-tools is not installed";
  EXPECT_NE(out->find("Image Width: 12 Image Length: 9"), std::string::npos) << *out;
  EXPECT_NE(out->find("Compression Scheme: None"), std::string::npos) << *out;
  EXPECT_NE(out->find("Bits/Sample: 8"), std::string::npos) << *out;
  EXPECT_NE(out->find("Samples/Pixel: 3"), std::string::npos) << *out;
  EXPECT_NE(out->find("Photometric Interpretation: RGB color"), std::string::npos) << *out;
}

}  // namespace
}  // namespace tolvane
