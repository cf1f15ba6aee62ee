// writeFile: the format by extension, the busy pointer, and every failure
// reported in the error box, against real files in a scratch folder.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>

#include "fake/fake_platform.h"
#include "output/atomic_file.h"
#include "output/image_writer.h"
#include "output/temp_dir.h"
#include "output/write_support.h"

namespace tolvane {
namespace {

using platform::Format;
using testutil::bytesOf;

// --- extensions and the message ---

TEST(FormatForExtension, IgnoresCaseAndTakesTheLongAndShortSpellings) {
  const std::vector<std::pair<std::string, Format>> known = {
      {"png", Format::Png},   {"PNG", Format::Png},   {"Png", Format::Png},   {"jpg", Format::Jpeg},
      {"JPG", Format::Jpeg},  {"Jpg", Format::Jpeg},  {"jpeg", Format::Jpeg}, {"JPEG", Format::Jpeg},
      {"bmp", Format::Bmp},   {"BMP", Format::Bmp},   {"gif", Format::Gif},   {"GIF", Format::Gif},
      {"tiff", Format::Tiff}, {"TIFF", Format::Tiff}, {"tif", Format::Tiff},  {"Tif", Format::Tiff}};
  for (const auto& [ext, format] : known) EXPECT_EQ(output::formatForExtension(ext), format) << ext;
  for (const std::string ext : {"", "09", "pn", "pngx", " png", "png ", "jp", "webp", "dir/shot", "\xEF\xBC\xB0NG"})
    EXPECT_EQ(output::formatForExtension(ext), std::nullopt) << ext;
}

TEST(SaveErrorText, HasTheFixedLayoutToTheCharacter) {
  EXPECT_EQ(output::saveErrorText(9, "不支持"),
            "\xE5\x9C\xA8\xE4\xBF\x9D\xE5\xAD\x98\xE5\x9B\xBE\xE7\x89\x87\xE7\x9A\x84\xE8\xBF\x87\xE7\xA8\x8B"
            "\xE4\xB8\xAD\xE5\x8F\x91\xE7\x94\x9F\xE9\x94\x99\xE8\xAF\xAF:\r\n\r\n"
            "\xE9\x94\x99\xE8\xAF\xAF\xE5\x8F\xB7: 9\r\n"
            "\xE9\x94\x99\xE8\xAF\xAF\xE6\x8F\x8F\xE8\xBF\xB0: \xE4\xB8\x8D\xE6\x94\xAF\xE6\x8C\x81");
  EXPECT_EQ(output::saveErrorText(-28, ""), "在保存图片的过程中发生错误:\r\n\r\n错误号: -28\r\n错误描述: ");
}

// --- writeFile ---

struct WriteFile : ::testing::Test {
  fake::Log log;
  fake::FakePointer pointer{log};
  fake::FakeMessageBox box{log};
  fake::FakeEncoders encoders;
  void SetUp() override {
    box.pointer = &pointer;
    encoders.witness.pointer = &pointer;
  }
  output::ImageWriter save{pointer, box, encoders};
  testutil::TempDir dir;
  Image pic{4, 3, 0xFF102030u};

  bool put(const std::string& name, const std::string& ext) {
    return save.writeFile(pic, dir.path(name), ext, 80, 24, 6);
  }
  // The last message box's text, or "" when none was shown.
  std::string message() const { return box.shown.empty() ? "" : box.shown.back().second; }
};

TEST_F(WriteFile, WritesTheEncodedBytesUnderTheBusyPointer) {
  ASSERT_TRUE(save.writeFile(pic, dir.path("a.jpg"), "JPG", 55, 24, 6));
  EXPECT_EQ(dir.read("a.jpg"), "FAKE1:4x3");
  ASSERT_EQ(encoders.calls, std::vector{Format::Jpeg});
  EXPECT_EQ(encoders.params[0].jpegQuality, 55);
  EXPECT_EQ(encoders.params[0].tiffDepth, 24);
  EXPECT_EQ(encoders.params[0].tiffCompression, 6);
  EXPECT_EQ(encoders.seen.pointer, platform::PointerShape::Busy);
  EXPECT_EQ(pointer.shape(), platform::PointerShape::Default);
  EXPECT_TRUE(box.shown.empty());
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.jpg"});  // no temporary file left
}

TEST_F(WriteFile, ChoosesTheFormatByExtensionAlone) {
  ASSERT_TRUE(put("x.gif", "tif"));  // the extension argument decides, not the name
  ASSERT_TRUE(put("y", "Png"));
  ASSERT_TRUE(put("z.bmp", "BMP"));
  ASSERT_TRUE(put("w.jpeg", "jpeg"));
  ASSERT_TRUE(put("v.gif", "gif"));
  EXPECT_EQ(encoders.calls, (std::vector{Format::Tiff, Format::Png, Format::Bmp, Format::Jpeg, Format::Gif}));
  EXPECT_EQ(dir.read("x.gif"), "FAKE4:4x3");
}

TEST_F(WriteFile, RefusesAnUnknownExtensionWithErrorNine) {
  EXPECT_FALSE(put("a.webp", "webp"));
  EXPECT_TRUE(encoders.calls.empty());
  EXPECT_FALSE(dir.exists("a.webp"));
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].first, "错误");
  const std::string prefix = "在保存图片的过程中发生错误:\r\n\r\n错误号: 9\r\n错误描述: ";
  ASSERT_EQ(message().rfind(prefix, 0), 0u) << message();
  EXPECT_NE(message().find("\"webp\""), std::string::npos);
  // The pointer is back before the box shows.
  EXPECT_EQ(box.pointerSeen, std::vector{platform::PointerShape::Default});
}

TEST_F(WriteFile, ReportsAnEmptyPictureInsteadOfWritingNothingSilently) {
  pic = Image();
  EXPECT_FALSE(put("a.png", "png"));
  EXPECT_TRUE(encoders.calls.empty());
  EXPECT_NE(message().find("错误号: 1000\r\n"), std::string::npos);
  EXPECT_EQ(pointer.shape(), platform::PointerShape::Default);
}

TEST_F(WriteFile, ReportsAnEncoderFailureWithItsCodeAndThePath) {
  encoders.failWith = platform::EncodeResult{{}, platform::Failure{1003, "libpng said no"}};
  dir.write("a.png", "old");
  EXPECT_FALSE(put("a.png", "png"));
  EXPECT_NE(message().find("错误号: 1003\r\n"), std::string::npos) << message();
  EXPECT_NE(message().find("libpng said no"), std::string::npos);
  EXPECT_NE(message().find(dir.path("a.png")), std::string::npos);
  EXPECT_EQ(dir.read("a.png"), "old");
  EXPECT_EQ(box.pointerSeen, std::vector{platform::PointerShape::Default});
  EXPECT_EQ(encoders.seen.pointer, platform::PointerShape::Busy);
}

TEST_F(WriteFile, ReportsAMissingFolderWithErrnoAndPath) {
  const std::string path = dir.path("missing/a.png");
  EXPECT_FALSE(save.writeFile(pic, path, "png", 80, 24, 6));
  EXPECT_NE(message().find("错误号: " + std::to_string(ENOENT) + "\r\n"), std::string::npos) << message();
  EXPECT_NE(message().find(path), std::string::npos);
  EXPECT_FALSE(dir.exists("missing"));
  EXPECT_EQ(box.pointerSeen, std::vector{platform::PointerShape::Default});
}

TEST_F(WriteFile, ReportsAFileInPlaceOfTheFolder) {
  dir.write("plain", "x");
  EXPECT_FALSE(save.writeFile(pic, dir.path("plain/a.bmp"), "bmp", 80, 24, 6));
  EXPECT_NE(message().find("错误号: " + std::to_string(testutil::kErrnoThroughAFile) + "\r\n"), std::string::npos) << message();
  EXPECT_EQ(dir.read("plain"), "x");
}

TEST_F(WriteFile, ReportsAFullDiskAndLeavesTheOldFileAndNoTemporary) {
  dir.write("a.png", "the old picture");
  int calls = 0;
  const auto plainWrite = save.fileOps().write;
  save.fileOps().write = [&](int fd, const void* data, std::size_t size) -> ssize_t {
    if (++calls == 1) return plainWrite(fd, data, size / 2);  // a part goes to disk first
    errno = ENOSPC;
    return -1;
  };
  EXPECT_FALSE(put("a.png", "png"));
  EXPECT_EQ(calls, 2);
  EXPECT_NE(message().find("错误号: " + std::to_string(ENOSPC) + "\r\n"), std::string::npos) << message();
  EXPECT_NE(message().find(dir.path("a.png")), std::string::npos);
  EXPECT_EQ(dir.read("a.png"), "the old picture");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.png"});
  EXPECT_EQ(pointer.shape(), platform::PointerShape::Default);
}


}  // namespace
}  // namespace tolvane
