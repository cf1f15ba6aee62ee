#include <dirent.h>
#include <unistd.h>

#include <sstream>

#include "fixture.h"

namespace tolvane::e2e {
namespace {

constexpr int kL = 120, kT = 90, kR = 420, kB = 290;  // a 300 x 200 region

class Output : public E2E {
 protected:
  void SetUp() override {
    E2E::SetUp();
    if (HasFatalFailure()) return;
    startCapture(p_, {kL, kT, kR, kB});
    if (HasFatalFailure()) return;
    x().doubleClick(270, 190);
    ASSERT_TRUE(x().waitForWindow("Tolvane-保存为")) << p_->stderrText();
  }
  Image region() const { return picture().copy({kL, kT, kR, kB}); }
  // Types a path into the dialog's name field and confirms.
  void saveAs(const std::string& path) {
    x().key("ctrl+a");
    ASSERT_TRUE(x().xdotool({"type", "--delay", "5", path}));
    x().key("Return");
  }
  std::unique_ptr<Program> p_;
};

TEST_F(Output, DoubleClickCopiesTheExactRegionAndServesItAfterTheWindowCloses) {
  x().key("Escape");  // no saving
  ASSERT_TRUE(waitUntil([&] { return x().grab() == picture() && !showsAWindow(*p_); }, kPatience))
      << "the window should be gone";
  const auto png = x().clipboard();
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(decodePng(*png), region());
  EXPECT_NE(x().clipboardTargets().find("image/png"), std::string::npos);
  EXPECT_TRUE(p_->running());
  // Another program takes the clipboard over: the process ends.
  ASSERT_TRUE(x().takeClipboard("next"));
  EXPECT_EQ(p_->wait(5s), 0);
}

TEST_F(Output, ANewCaptureStartsWhileTheOldOneServesAndTakesTheClipboardOver) {
  x().key("Escape");
  ASSERT_TRUE(waitUntil([&] { return x().grab() == picture(); }, 5s));
  ASSERT_TRUE(p_->running());  // serving the clipboard, windowless
  std::unique_ptr<Program> next;
  startCapture(next, {300, 300, 400, 380});
  if (HasFatalFailure()) return;
  x().doubleClick(350, 340);
  ASSERT_TRUE(x().waitForWindow("Tolvane-保存为")) << next->stderrText();
  x().key("Escape");
  EXPECT_EQ(p_->wait(5s), 0);  // the old process let go of the clipboard and ended
  const auto png = x().clipboard();
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(decodePng(*png), picture().copy({300, 300, 400, 380}));
  EXPECT_TRUE(next->running());
}

TEST_F(Output, TheClipboardRefusesTypesThePictureCannotBeGivenAs) {
  x().key("Escape");
  ASSERT_TRUE(waitUntil([&] { return x().grab() == picture(); }, 5s));
  ASSERT_TRUE(waitUntil([&] { return x().askClipboard("image/png").bytes.size() > 0; }, 5s)) << p_->stderrText();
  EXPECT_EQ(decodePng(x().askClipboard("image/png").bytes), region());
  for (const char* target : {"text/plain", "UTF8_STRING", "STRING", "TEXT", "text/uri-list", "foo/bar", "image/",
                             "image/no-such-format", "PIXMAP", "BITMAP"}) {
    const SelectionAnswer a = x().askClipboard(target);
    ASSERT_TRUE(a.answered) << target;
    EXPECT_TRUE(a.refused) << target << " came back as " << a.bytes.size() << " bytes of type \"" << a.type << '"';
  }
  // Every MIME type the owner offers really comes with data.
  std::istringstream offered(x().clipboardTargets());
  int types = 0;
  for (std::string target; std::getline(offered, target);) {
    if (target.find('/') == std::string::npos) continue;
    ++types;
    const SelectionAnswer a = x().askClipboard(target);
    EXPECT_FALSE(a.refused) << target;
    EXPECT_TRUE(a.type == "INCR" || (a.type == target && !a.bytes.empty()))
        << target << ": " << a.bytes.size() << " bytes of type \"" << a.type << '"';
  }
  EXPECT_GE(types, 5);
  EXPECT_TRUE(p_->running());
}

class SaveFormat : public Output, public ::testing::WithParamInterface<const char*> {};

TEST_P(SaveFormat, WritesAFileOtherToolsReadAndEmptiesTheClipboard) {
  const std::string path = home() + "/shot." + GetParam();
  saveAs(path);
  EXPECT_EQ(p_->wait(10s), 0) << p_->stderrText();
  const RunResult id = run({"identify", "-format", "%m %wx%h", path});
  ASSERT_EQ(id.status, 0) << id.err;
  EXPECT_NE(id.out.find("300x200"), std::string::npos) << id.out;
  const std::string ext = GetParam();
  if (ext == "png" || ext == "bmp" || ext == "tiff") {
    // Lossless: identical pixels, read back by ImageMagick as a PNG.
    const RunResult conv = run({"convert", path, "png:-"}, {}, 10s);
    ASSERT_EQ(conv.status, 0);
    EXPECT_EQ(decodePng(conv.out), region());
  }
  if (ext == "tiff") {
    const RunResult info = run({"tiffinfo", path});
    EXPECT_NE(info.out.find("Compression Scheme: None"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Bits/Sample: 8"), std::string::npos);
    EXPECT_NE(info.out.find("Samples/Pixel: 3"), std::string::npos);
  }
  EXPECT_FALSE(x().clipboard("image/png", 2s).has_value());
}

INSTANTIATE_TEST_SUITE_P(Formats, SaveFormat, ::testing::Values("png", "jpg", "bmp", "gif", "tiff"));

TEST_F(Output, AFailedSaveSaysWhyAndKeepsTheCapture) {
  saveAs(home() + "/no/such/folder/shot.png");
  ASSERT_TRUE(x().waitForWindow("错误")) << p_->stderrText();
  x().key("Return");
  ASSERT_TRUE(waitUntil([&] { return x().grab() == picture(); }, 5s));
  const auto png = x().clipboard();
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(decodePng(*png), region());
  EXPECT_TRUE(p_->running());
}

TEST_F(Output, EnterOnTheProposedNameWritesAPngInPictures) {
  x().key("Return");
  EXPECT_EQ(p_->wait(10s), 0) << p_->stderrText();
  std::vector<std::string> names;
  if (DIR* d = opendir((home() + "/Pictures").c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    closedir(d);
  }
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].rfind("Tolvane", 0), 0u) << names[0];
  EXPECT_EQ(names[0].substr(names[0].size() - 4), ".PNG") << names[0];
  const std::string bytes = readFile(home() + "/Pictures/" + names[0]);
  EXPECT_EQ(decodePng(bytes), region());
}

}  // namespace
}  // namespace tolvane::e2e
