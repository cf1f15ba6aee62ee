// Finishing a capture on the fake platform: the double click, the region
// copy, the save dialog and what happens to the clipboard.
#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "fake/fake_platform.h"
#include "output/finish.h"
#include "output/temp_dir.h"

namespace tolvane {
namespace {

using fake::Log;
using fake::Rig;
using platform::Ctl;
using platform::Format;

constexpr Argb kWhite = 0xFFFFFFFFu;
constexpr Argb kBlack = 0xFF000000u;

// --- names and extensions ---

TEST(DefaultFileName, IsTheProductNameAndTheZeroPaddedLocalTime) {
  EXPECT_EQ(output::defaultFileName({2026, 12, 6, 14, 5, 9}), "Tolvane2026-12-06_14.05.09");
  EXPECT_EQ(output::defaultFileName({2027, 1, 2, 3, 4, 5}), "Tolvane2027-01-02_03.04.05");
  EXPECT_EQ(output::defaultFileName({999, 10, 31, 23, 59, 0}), "Tolvane0999-10-31_23.59.00");
}

TEST(ExtensionOf, TakesTheTextAfterTheFileNamesLastDot) {
  EXPECT_EQ(output::extensionOf("/home/u/shot.png"), "png");
  EXPECT_EQ(output::extensionOf("/home/u/a.tar.GZ"), "GZ");
  EXPECT_EQ(output::extensionOf("/p/Tolvane2026-12-06_14.05.09"), "09");
  EXPECT_EQ(output::extensionOf("shot."), "");
  EXPECT_EQ(output::extensionOf("/home/u/my.dir/shot"), std::nullopt);
  EXPECT_EQ(output::extensionOf("/home/u/shot"), std::nullopt);
  EXPECT_EQ(output::extensionOf(""), std::nullopt);
}

TEST(SavablePath, KeepsAWrittenExtensionAndElseAddsTheFiltersOne) {
  const std::string base = "/p/Tolvane2026-12-06_14.05.09";
  EXPECT_EQ(output::savablePath(base, 1), base + ".PNG");
  EXPECT_EQ(output::savablePath(base, 2), base + ".jpg");
  EXPECT_EQ(output::savablePath(base, 3), base + ".bmp");
  EXPECT_EQ(output::savablePath(base, 4), base + ".gif");
  EXPECT_EQ(output::savablePath(base, 5), base + ".tiff");
  EXPECT_EQ(output::savablePath(base, 6), base + ".PNG");
  EXPECT_EQ(output::savablePath(base, 0), base + ".PNG");
  EXPECT_EQ(output::savablePath(base, 7), base + ".PNG");
  // A written extension wins over the filter, in any case and spelling.
  for (const std::string name : {"/p/a.png", "/p/a.Png", "/p/a.JPG", "/p/a.jpeg", "/p/a.bmp", "/p/a.GIF", "/p/a.tif",
                                 "/p/a.TIFF"})
    EXPECT_EQ(output::savablePath(name, 4), name);
  EXPECT_EQ(output::savablePath("/p/my.dir/shot", 1), "/p/my.dir/shot.PNG");
  EXPECT_EQ(output::savablePath("/p/shot.", 2), "/p/shot.jpg");
  EXPECT_EQ(output::savablePath("/p/shot.xyz", 6), "/p/shot.xyz.PNG");
}

// --- the double click ---

// Selection (40,30)-(140,90) set straight in the state, the last press at (x, y).
struct Armed {
  Rig rig{200, 150};
  explicit Armed(float x, float y) {
    EXPECT_TRUE(rig.form.start());
    auto& s = rig.form.state();
    s.selMode = session::SelMode::Move;
    s.selRect = {40, 30, 140, 90};
    s.downX = x;
    s.downY = y;
    rig.ctl(Ctl::SelectionFrame).move(40, 30, 100, 60);
  }
  bool finishes() {
    const auto before = rig.log.size();
    rig.form.dblClick({Ctl::Window, -1});
    if (rig.log.size() == before) return false;
    EXPECT_TRUE(rig.app.unloaded);
    return true;
  }
};

TEST(DoubleClick, FinishesOnTheLeftAndTopEdgeButNotOnRightOrBottom) {
  EXPECT_TRUE(Armed(40, 30).finishes());
  EXPECT_TRUE(Armed(139, 89).finishes());
  EXPECT_TRUE(Armed(90, 60).finishes());
  EXPECT_FALSE(Armed(140, 60).finishes());
  EXPECT_FALSE(Armed(90, 90).finishes());
  EXPECT_FALSE(Armed(39, 60).finishes());
  EXPECT_FALSE(Armed(90, 29).finishes());
}

TEST(DoubleClick, RoundsThePressPointHalfToEven) {
  EXPECT_TRUE(Armed(39.5f, 29.5f).finishes());   // 40, 30
  EXPECT_FALSE(Armed(38.5f, 60).finishes());     // 38
  EXPECT_FALSE(Armed(139.5f, 60).finishes());    // 140
  EXPECT_TRUE(Armed(138.5f, 88.5f).finishes());  // 138, 88
  EXPECT_TRUE(Armed(40.4f, 89.4f).finishes());   // 40, 89
}

TEST(DoubleClick, DoesNothingBeforeAnySelection) {
  Rig rig(200, 150);
  ASSERT_TRUE(rig.form.start());
  ASSERT_EQ(rig.form.state().selRect, IRect{});
  const auto before = rig.log.size();
  rig.form.dblClick({Ctl::Window, -1});
  EXPECT_EQ(rig.log.size(), before);
  EXPECT_FALSE(rig.app.unloaded);
  EXPECT_FALSE(rig.clipboard.picture);
}

TEST(DoubleClick, CopiesTheRegionOffersTheDialogAndCloses) {
  Rig rig(320, 240);
  ASSERT_TRUE(rig.form.start());
  rig.drag(40, 30, 140, 90);
  rig.down(60, 50);  // the double click's first press, inside the selection
  rig.up(60, 50);
  const Image region = rig.surface.image({40, 30, 140, 90});
  rig.form.dblClick({Ctl::Window, -1});
  for (const Ctl c : {Ctl::Toolbar, Ctl::SelectionFrame, Ctl::SizeLabel, Ctl::ColorLabel})
    EXPECT_FALSE(rig.ctl(c).visible()) << static_cast<int>(c);
  for (int i = 0; i < 8; ++i) EXPECT_FALSE(rig.ctl(Ctl::Handle, i).visible()) << i;
  ASSERT_TRUE(rig.dialog.request);
  EXPECT_EQ(rig.dialog.request->fileName, "Tolvane2026-12-06_14.05.09");
  EXPECT_TRUE(rig.app.unloaded);
  // Cancelled: the capture stays on the clipboard.
  ASSERT_TRUE(rig.clipboard.picture);
  EXPECT_EQ(*rig.clipboard.picture, region);
}

TEST(DoubleClick, TakesTheFramesRegionRoundedHalfToEven) {
  Armed a(100, 60);
  a.rig.form.state().selRect = {0, 0, 200, 150};
  a.rig.ctl(Ctl::SelectionFrame).move(11.5f, 20.5f, 30, 15.5f);  // 12, 20, 41.5 -> 42, 36
  const Image canvas = a.rig.surface.image();
  ASSERT_TRUE(a.finishes());
  const Image& got = a.rig.form.finisher().captured();
  ASSERT_EQ(got.width(), 30);
  ASSERT_EQ(got.height(), 16);
  EXPECT_EQ(got, canvas.copy({12, 20, 42, 36}));
}

TEST(DoubleClick, ThePictureShowsAnnotationsUndimmedWithoutTheFrame) {
  Rig rig(200, 150, Image(200, 150, kWhite));
  ASSERT_TRUE(rig.form.start());
  rig.drag(20, 20, 180, 130);
  rig.down(150, 110);
  rig.up(150, 110);
  rig.clickTool(7);  // rectangle
  rig.down(40, 40);
  rig.move(100, 90);
  rig.up(100, 90);
  rig.form.dblClick({Ctl::Window, -1});
  ASSERT_TRUE(rig.clipboard.picture);
  const Image& got = *rig.clipboard.picture;
  ASSERT_EQ(got.width(), 160);
  ASSERT_EQ(got.height(), 110);
  EXPECT_NE(got.pixel(40 - 20, 40 - 20), kWhite);  // the drawn rectangle's corner
  EXPECT_NE(got.pixel(70 - 20, 40 - 20), kWhite);  // its top edge
  EXPECT_EQ(got.pixel(70 - 20, 65 - 20), kWhite);  // inside it
  EXPECT_EQ(got.pixel(0, 0), kWhite);              // no veil, no frame on the edge
  EXPECT_EQ(got.pixel(159, 109), kWhite);
}

// --- captureRegion ---

struct Capture : ::testing::Test {
  Rig rig{64, 48};
  Image canvas;
  void SetUp() override {
    ASSERT_TRUE(rig.form.start());
    canvas = rig.surface.image();
  }
  output::Finisher& fin() { return rig.form.finisher(); }
  // Pixel (x, y) of a capture at (left, top): the canvas, or black past its edge.
  Argb expected(int left, int top, int x, int y) const {
    const int sx = left + x, sy = top + y;
    return canvas.rect().contains(sx, sy) ? canvas.pixel(sx, sy) : kBlack;
  }
  void expectRegion(int left, int top, int right, int bottom) {
    const Image& got = fin().captured();
    ASSERT_EQ(got.width(), right - left);
    ASSERT_EQ(got.height(), bottom - top);
    for (int y = 0; y < got.height(); ++y)
      for (int x = 0; x < got.width(); ++x)
        ASSERT_EQ(got.pixel(x, y), expected(left, top, x, y)) << x << "," << y;
    ASSERT_TRUE(rig.clipboard.picture);
    EXPECT_EQ(*rig.clipboard.picture, got);
  }
};

TEST_F(Capture, CopiesTheWindowsPictureExactly) {
  fin().captureRegion(5, 7, 36, 40);
  expectRegion(5, 7, 36, 40);
  EXPECT_EQ(rig.screen.grabs, 1);  // only Load read the screen
}

TEST_F(Capture, IsBlackPastTheScreensEdges) {
  fin().captureRegion(50, 40, 70, 52);
  expectRegion(50, 40, 70, 52);
  EXPECT_EQ(fin().captured().pixel(19, 11), kBlack);
  fin().captureRegion(-5, -3, 5, 4);
  expectRegion(-5, -3, 5, 4);
  fin().captureRegion(-10, -10, 80, 60);  // around the whole screen
  expectRegion(-10, -10, 80, 60);
}

TEST_F(Capture, WholeRegionsOffTheScreenAreBlackEvenAtTheIntegerLimits) {
  fin().captureRegion(INT_MIN, INT_MIN, INT_MIN + 10, INT_MIN + 4);
  EXPECT_EQ(fin().captured(), Image(10, 4, kBlack));
  fin().captureRegion(INT_MAX - 3, INT_MAX - 2, INT_MAX, INT_MAX);
  EXPECT_EQ(fin().captured(), Image(3, 2, kBlack));
}

TEST_F(Capture, RefusesEmptyInvertedAndOversizedRegionsWithoutTouchingTheClipboard) {
  fin().captureRegion(1, 1, 11, 11);  // a good capture first: a later refusal must drop it
  ASSERT_FALSE(fin().captured().isNull());
  rig.clipboard.picture.reset();
  const std::vector<std::array<int, 4>> silly = {{10, 10, 10, 50},
                                                 {10, 10, 50, 10},
                                                 {50, 40, 10, 10},
                                                 {INT_MIN, 0, INT_MAX, 10},
                                                 {0, INT_MIN, 10, INT_MAX},
                                                 {INT_MAX, 0, INT_MIN, 10},
                                                 {0, 0, 70000, 10},
                                                 {0, 0, 20000, 20000}};
  for (const auto& r : silly) {
    const auto warnings = rig.app.warnings.size();
    fin().captureRegion(r[0], r[1], r[2], r[3]);
    EXPECT_TRUE(fin().captured().isNull()) << r[0] << "," << r[1] << "," << r[2] << "," << r[3];
    EXPECT_EQ(rig.app.warnings.size(), warnings + 1);
  }
  EXPECT_FALSE(rig.clipboard.picture);
}

TEST_F(Capture, HidesTheFrameHandlesAndLabelsButLeavesTheToolbarToTheCaller) {
  rig.drag(10, 10, 50, 40);
  rig.ctl(Ctl::Toolbar).show();
  fin().captureRegion(0, 0, 8, 8);
  for (const Ctl c : {Ctl::SelectionFrame, Ctl::SizeLabel, Ctl::ColorLabel})
    EXPECT_FALSE(rig.ctl(c).visible()) << static_cast<int>(c);
  for (int i = 0; i < 8; ++i) EXPECT_FALSE(rig.ctl(Ctl::Handle, i).visible()) << i;
  EXPECT_TRUE(rig.ctl(Ctl::Toolbar).visible());
  ASSERT_TRUE(rig.clipboard.picture);
  EXPECT_EQ(rig.clipboard.picture->width(), 8);
}

// --- what the user sees while a picture is encoded ---

// Encoding takes seconds on a large region: the window must not stand frozen
// meanwhile. It goes first when nothing more is asked of the user; while it
// has to stay (the save dialog follows), the pointer shows it is busy.
TEST(WhileEncoding, TheWindowIsGoneOrThePointerBusy) {
  struct Finish {
    const char* how;
    std::function<void(Rig&)> run;
    bool clipboardEncodedOnScreen;  // the save dialog still needed the window
    bool fileWritten;
  };
  testutil::TempDir dir;
  const auto saveAs = [&dir](Rig& rig, const std::string& name) {
    rig.dialog.answer = platform::SaveAnswer{dir.path(name), 1};
  };
  const auto doubleClick = [](Rig& rig) {
    rig.down(60, 50);
    rig.up(60, 50);
    rig.form.dblClick({Ctl::Window, -1});
  };
  const std::vector<Finish> finishes = {
      {"copy and close", [](Rig& rig) { rig.clickTool(1); }, false, false},
      {"save, confirmed", [&](Rig& rig) { saveAs(rig, "a.png"); rig.clickTool(2); }, true, true},
      {"save, cancelled", [](Rig& rig) { rig.clickTool(2); }, true, false},
      {"double click, confirmed", [&](Rig& rig) { saveAs(rig, "b.gif"); doubleClick(rig); }, true, true},
      {"save, failing", [&](Rig& rig) { saveAs(rig, "no/such/folder/c.png"); rig.clickTool(2); }, true, false},
  };
  for (const auto& f : finishes) {
    SCOPED_TRACE(f.how);
    Rig rig(320, 240);
    ASSERT_TRUE(rig.form.start());
    rig.drag(40, 30, 140, 90);
    rig.pointer.setShape(platform::kPointerArrow);
    f.run(rig);
    ASSERT_TRUE(rig.app.unloaded);
    EXPECT_EQ(rig.clipboard.seen.windowOnScreen, f.clipboardEncodedOnScreen);
    EXPECT_EQ(rig.clipboard.seen.pointer == platform::kPointerBusy, f.clipboardEncodedOnScreen);
    ASSERT_EQ(rig.encoders.calls.size(), rig.dialog.answer ? 1u : 0u);
    if (rig.dialog.answer) {
      EXPECT_FALSE(rig.encoders.seen.windowOnScreen);  // the file's encoding
    }
    EXPECT_NE(rig.pointer.shape(), platform::kPointerBusy);
    // What the user made is kept: in the file, else on the clipboard.
    EXPECT_EQ(rig.clipboard.picture.has_value(), !f.fileWritten);
    EXPECT_EQ(rig.messageBox.shown.size(), std::string(f.how) == "save, failing" ? 1u : 0u);
  }
}

TEST(WhileEncoding, AWindowThatStaysGetsItsPointerBack) {
  Rig rig(200, 150);
  ASSERT_TRUE(rig.form.start());
  rig.pointer.setShape(platform::kPointerMove);
  rig.form.finisher().captureRegion(10, 10, 50, 40);
  EXPECT_EQ(rig.clipboard.seen.pointer, platform::kPointerBusy);
  EXPECT_EQ(rig.pointer.shape(), platform::kPointerMove);
  EXPECT_TRUE(rig.app.onScreen);
}

// --- the save dialog and the file ---

struct Save : ::testing::Test {
  Rig rig{64, 48};
  testutil::TempDir dir;
  void SetUp() override {
    ASSERT_TRUE(rig.form.start());
    rig.form.finisher().captureRegion(4, 4, 24, 14);
    ASSERT_TRUE(rig.clipboard.picture);
  }
  // The user confirms `name` in the scratch folder with filter `filter`.
  void confirm(const std::string& name, int filter = 1) {
    rig.dialog.answer = platform::SaveAnswer{dir.path(name), filter};
    rig.form.finisher().offerSave();
  }
  std::string message() const { return rig.messageBox.shown.empty() ? "" : rig.messageBox.shown.back().second; }
};

TEST_F(Save, AsksWithTheTitleFiltersProposedNameAndFolder) {
  rig.env.pictures = "/home/someone/图片";
  rig.form.finisher().offerSave();
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
  rig.form.finisher().offerSave();
  ASSERT_TRUE(rig.dialog.request);
  EXPECT_EQ(rig.dialog.request->fileName, "Tolvane2031-02-28_00.00.07");
}

TEST_F(Save, CancelWritesNothingAndKeepsTheClipboard) {
  const auto from = rig.log.size();
  rig.form.finisher().offerSave();
  EXPECT_EQ(rig.logSince(from), (Log{"SaveDialog Tolvane2026-12-06_14.05.09"}));
  EXPECT_TRUE(rig.encoders.calls.empty());
  EXPECT_TRUE(rig.clipboard.picture);
  EXPECT_TRUE(dir.entries().empty());
}

TEST_F(Save, TheProposedNameSavesAsPngAndEmptiesTheClipboardAfterwards) {
  const auto from = rig.log.size();
  confirm("Tolvane2026-12-06_14.05.09");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"Tolvane2026-12-06_14.05.09.PNG"});
  EXPECT_EQ(dir.read("Tolvane2026-12-06_14.05.09.PNG"), "FAKE0:20x10");
  ASSERT_EQ(rig.encoders.calls, std::vector{Format::Png});
  EXPECT_EQ(rig.encoders.params[0].jpegQuality, 80);
  EXPECT_EQ(rig.encoders.params[0].tiffDepth, 24);
  EXPECT_EQ(rig.encoders.params[0].tiffCompression, 6);
  EXPECT_EQ(rig.logSince(from, {"Pointer", "Clipboard", "MessageBox"}),
            (Log{"Pointer 11", "Pointer 0", "Clipboard clear"}));
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
  for (const auto& [name, filter, written, format] : cases) {
    rig.encoders.calls.clear();
    rig.clipboard.picture = rig.form.finisher().captured();
    confirm(name, filter);
    EXPECT_TRUE(dir.exists(written)) << name;
    EXPECT_EQ(rig.encoders.calls, std::vector{format}) << name;
    EXPECT_FALSE(rig.clipboard.picture) << name;
  }
  EXPECT_TRUE(rig.messageBox.shown.empty());
}

TEST_F(Save, ThePathEndsAtItsFirstNul) {
  rig.dialog.answer = platform::SaveAnswer{dir.path("cut.png") + std::string(1, '\0') + "junk", 1};
  rig.form.finisher().offerSave();
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"cut.png"});
}

TEST_F(Save, AFailedSaveIsReportedAndKeepsTheCaptureOnTheClipboard) {
  const Image captured = rig.form.finisher().captured();
  const auto from = rig.log.size();
  confirm("missing/shot.png");
  EXPECT_NE(message().find("错误号: " + std::to_string(ENOENT) + "\r\n"), std::string::npos) << message();
  EXPECT_NE(message().find(dir.path("missing/shot.png")), std::string::npos);
  EXPECT_EQ(rig.logSince(from, {"Pointer", "Clipboard", "MessageBox"}),
            (Log{"Pointer 11", "Pointer 0", "MessageBox 错误"}));
  ASSERT_TRUE(rig.clipboard.picture);
  EXPECT_EQ(*rig.clipboard.picture, captured);
  EXPECT_EQ(rig.pointer.shape(), platform::kPointerDefault);
}

TEST_F(Save, AnEncoderFailureKeepsTheClipboardAndAnOldFile) {
  dir.write("old.gif", "old");
  rig.encoders.failWith = platform::EncodeResult{false, 1002, "too big", {}};
  confirm("old.gif");
  EXPECT_NE(message().find("错误号: 1002\r\n"), std::string::npos) << message();
  EXPECT_EQ(dir.read("old.gif"), "old");
  EXPECT_TRUE(rig.clipboard.picture);
  EXPECT_EQ(rig.pointer.shape(), platform::kPointerDefault);
}

TEST_F(Save, NothingCapturedOffersNoDialog) {
  rig.form.finisher().captureRegion(5, 5, 5, 5);
  rig.dialog.answer = platform::SaveAnswer{dir.path("empty.png"), 1};
  rig.form.finisher().offerSave();
  EXPECT_FALSE(rig.dialog.request);
  EXPECT_TRUE(rig.messageBox.shown.empty());
  EXPECT_TRUE(rig.encoders.calls.empty());
  EXPECT_TRUE(dir.entries().empty());
}

// --- what the screen shows is what is captured ---

// Text typed into the open box reaches every capture exactly as if the user
// had committed it with a click first.
TEST(WhatYouSeeIsWhatYouGet, PendingTextReachesEveryCapture) {
  enum class Finish { CopyButton, SaveButton, DoubleClick };
  const Image white(200, 150, kWhite);
  // A region, the text tool, and "HELLO" typed into a box opened at (60, 60).
  auto typed = [&](Rig& rig) {
    ASSERT_TRUE(rig.form.start());
    rig.drag(20, 20, 180, 130);
    rig.down(100, 100);  // a click inside the region first
    rig.up(100, 100);
    rig.clickTool(5);
    rig.down(60, 60);
    rig.up(60, 60);
    rig.form.textChanged({Ctl::TextEditor, -1}, "HELLO");
    ASSERT_TRUE(rig.ctl(Ctl::TextEditor).visible());
  };
  Rig reference(200, 150, white);
  typed(reference);
  reference.down(10, 10);  // a click outside the region commits the text
  reference.up(10, 10);
  reference.form.finisher().captureRegion(20, 20, 180, 130);
  const Image expected = reference.form.finisher().captured();
  ASSERT_EQ(expected.width(), 160);
  ASSERT_NE(expected, Image(160, 110, kWhite));  // the text is there to be lost

  for (const Finish how : {Finish::CopyButton, Finish::SaveButton, Finish::DoubleClick}) {
    SCOPED_TRACE(static_cast<int>(how));
    testutil::TempDir dir;
    Rig rig(200, 150, white);
    typed(rig);
    rig.dialog.answer = platform::SaveAnswer{dir.path("shot.png"), 1};
    switch (how) {
      case Finish::CopyButton: rig.clickTool(1); break;
      case Finish::SaveButton: rig.clickTool(2); break;
      case Finish::DoubleClick:  // press, release, double click, release
        rig.down(100, 100);
        rig.up(100, 100);
        rig.form.dblClick({Ctl::Window, -1});
        rig.up(100, 100);
        break;
    }
    EXPECT_TRUE(rig.app.unloaded);
    EXPECT_EQ(rig.form.finisher().captured(), expected);
    if (how == Finish::CopyButton) {
      ASSERT_TRUE(rig.clipboard.picture);
      EXPECT_EQ(*rig.clipboard.picture, expected);
    } else {
      EXPECT_TRUE(dir.exists("shot.png"));
    }
    EXPECT_FALSE(rig.ctl(Ctl::TextEditor).visible());
    EXPECT_EQ(rig.form.history().index(), 2);  // recorded like a committed text
  }
}

}  // namespace
}  // namespace tolvane
