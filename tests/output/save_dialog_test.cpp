// The save dialog and the file it writes.
#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "output/finish_rig.h"
#include "output/temp_dir.h"

namespace tolvane {
namespace {

using fake::Rig;
using platform::Ctl;
using platform::Format;

// --- the save dialog and the file ---

struct Save : ::testing::Test {
  Rig rig{64, 48};
  testutil::TempDir dir;
  output::Finisher fin = testutil::finisherOver(rig);
  void SetUp() override {
    ASSERT_TRUE(rig.start());
    fin.captureRegion({4, 4, 24, 14});
    ASSERT_TRUE(rig.clipboard.picture);
  }
  // The user confirms `name` in the scratch folder with filter `filter`.
  void confirm(const std::string& name, int filter = 1) {
    rig.dialog.answer = platform::SaveAnswer{dir.path(name), filter};
    fin.offerSave();
  }
  std::string message() const { return rig.messageBox.shown.empty() ? "" : rig.messageBox.shown.back().second; }
};

TEST_F(Save, AsksWithTheTitleFiltersProposedNameAndFolder) {
  rig.env.pictures = "/home/someone/图片";
  fin.offerSave();
  ASSERT_TRUE(rig.dialog.request);
  const auto& r = *rig.dialog.request;
  EXPECT_EQ(r.title, "Tolvane-保存为");
  const std::vector<std::pair<std::string, std::string>> filters = {
      {"PNG文件(*.PNG)", "*.PNG"},   {"JPEG文件(*.jpg;*.jpeg)", "*.jpg"}, {"位图文件(*.bmp)", "*.bmp"},
      {"GIF文件(*.gif)", "*.gif"},   {"TIFF文件(*.TIFF)", "*.tiff"},      {"所有文件(*.*)", "*.*"}};
  ASSERT_EQ(r.filters.size(), filters.size());
  for (std::size_t i = 0; i < filters.size(); ++i) {
    EXPECT_EQ(r.filters[i].description, filters[i].first) << i;
    EXPECT_EQ(r.filters[i].pattern, filters[i].second) << i;
  }
  EXPECT_EQ(r.selectedFilter, 1);
  EXPECT_EQ(r.fileName, "Tolvane2026-12-06_14.05.09");
  EXPECT_EQ(r.defaultExtension, "PNG");
  EXPECT_EQ(r.folder, "/home/someone/图片");
}

TEST_F(Save, ReadsTheClockForTheProposedName) {
  rig.env.time = {2031, 2, 28, 0, 0, 7};
  fin.offerSave();
  ASSERT_TRUE(rig.dialog.request);
  EXPECT_EQ(rig.dialog.request->fileName, "Tolvane2031-02-28_00.00.07");
}

TEST_F(Save, CancelWritesNothingAndKeepsTheClipboard) {
  fin.offerSave();
  ASSERT_TRUE(rig.dialog.request);
  EXPECT_TRUE(rig.encoders.calls.empty());
  EXPECT_TRUE(rig.messageBox.shown.empty());
  EXPECT_TRUE(rig.app.onScreen);  // the window stays for the user
  EXPECT_TRUE(rig.clipboard.picture);
  EXPECT_TRUE(dir.entries().empty());
}

TEST_F(Save, TheProposedNameSavesAsPngAndEmptiesTheClipboardAfterwards) {
  confirm("Tolvane2026-12-06_14.05.09");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"Tolvane2026-12-06_14.05.09.PNG"});
  EXPECT_EQ(dir.read("Tolvane2026-12-06_14.05.09.PNG"), "FAKE0:20x10");
  ASSERT_EQ(rig.encoders.calls, std::vector{Format::Png});
  EXPECT_EQ(rig.encoders.params[0].jpegQuality, 80);
  EXPECT_EQ(rig.encoders.params[0].tiffDepth, 24);
  EXPECT_EQ(rig.encoders.params[0].tiffCompression, 6);
  EXPECT_EQ(rig.encoders.seen.pointer, platform::PointerShape::Busy);
  EXPECT_EQ(rig.pointer.shape(), platform::PointerShape::Default);
  EXPECT_FALSE(rig.clipboard.picture);
  EXPECT_TRUE(rig.messageBox.shown.empty());
}

TEST_F(Save, TheWrittenExtensionDecidesTheFormatWhateverTheFilter) {
  std::filesystem::create_directory(dir.path("my.dir"));
  const std::vector<std::tuple<std::string, int, std::string, Format>> cases = {
      {"a", 2, "a.jpg", Format::Jpeg},           {"b", 3, "b.bmp", Format::Bmp},
      {"c", 4, "c.gif", Format::Gif},            {"d", 5, "d.tiff", Format::Tiff},
      {"e", 6, "e.PNG", Format::Png},            {"f.png", 2, "f.png", Format::Png},
      {"g.JPG", 1, "g.JPG", Format::Jpeg},       {"h.Jpg", 1, "h.Jpg", Format::Jpeg},
      {"i.jpeg", 1, "i.jpeg", Format::Jpeg},     {"j.tif", 1, "j.tif", Format::Tiff},
      {"my.dir/k", 1, "my.dir/k.PNG", Format::Png}};
  const Image captured = *rig.clipboard.picture;
  for (const auto& [name, filter, written, format] : cases) {
    rig.encoders.calls.clear();
    rig.clipboard.picture = captured;
    confirm(name, filter);
    EXPECT_TRUE(dir.exists(written)) << name;
    EXPECT_EQ(rig.encoders.calls, std::vector{format}) << name;
    EXPECT_EQ(rig.encoders.last, captured) << name;  // the region, taken again from the canvas
    EXPECT_FALSE(rig.clipboard.picture) << name;
  }
  EXPECT_TRUE(rig.messageBox.shown.empty());
}

TEST_F(Save, ThePathEndsAtItsFirstNul) {
  rig.dialog.answer = platform::SaveAnswer{dir.path("cut.png") + std::string(1, '\0') + "junk", 1};
  fin.offerSave();
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"cut.png"});
}

TEST_F(Save, AFailedSaveIsReportedAndKeepsTheCaptureOnTheClipboard) {
  const Image captured = *rig.clipboard.picture;
  confirm("missing/shot.png");
  EXPECT_NE(message().find("错误号: " + std::to_string(ENOENT) + "\r\n"), std::string::npos) << message();
  EXPECT_NE(message().find(dir.path("missing/shot.png")), std::string::npos);
  ASSERT_EQ(rig.messageBox.shown.size(), 1u);
  EXPECT_EQ(rig.messageBox.shown[0].first, "错误");
  EXPECT_TRUE(dir.entries().empty());  // no half file, no temporary left
  ASSERT_TRUE(rig.clipboard.picture);
  EXPECT_EQ(*rig.clipboard.picture, captured);
  EXPECT_EQ(rig.pointer.shape(), platform::PointerShape::Default);
}

TEST_F(Save, AnEncoderFailureKeepsTheClipboardAndAnOldFile) {
  dir.write("old.gif", "old");
  rig.encoders.failWith = platform::EncodeResult{{}, platform::Failure{1002, "too big"}};
  confirm("old.gif");
  EXPECT_NE(message().find("错误号: 1002\r\n"), std::string::npos) << message();
  EXPECT_EQ(dir.read("old.gif"), "old");
  EXPECT_TRUE(rig.clipboard.picture);
  EXPECT_EQ(rig.pointer.shape(), platform::PointerShape::Default);
}

TEST_F(Save, NothingCapturedOffersNoDialog) {
  fin.captureRegion({5, 5, 5, 5});
  rig.dialog.answer = platform::SaveAnswer{dir.path("empty.png"), 1};
  fin.offerSave();
  EXPECT_FALSE(rig.dialog.request);
  EXPECT_TRUE(rig.messageBox.shown.empty());
  EXPECT_TRUE(rig.encoders.calls.empty());
  EXPECT_TRUE(dir.entries().empty());
}

}  // namespace
}  // namespace tolvane
