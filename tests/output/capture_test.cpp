// Taking the region from the window's picture, and what the user sees while
// it is encoded.
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

constexpr Argb kBlack = 0xFF000000u;

// --- captureRegion ---

struct Capture : ::testing::Test {
  Rig rig{64, 48};
  Image canvas;
  void SetUp() override {
    ASSERT_TRUE(rig.start());
    canvas = rig.surface.image();
  }
  output::Finisher finisher = testutil::finisherOver(rig);
  output::Finisher& fin() { return finisher; }
  // Pixel (x, y) of a capture at (left, top): the canvas, or black past its edge.
  Argb expected(int left, int top, int x, int y) const {
    const int sx = left + x, sy = top + y;
    return canvas.rect().contains(sx, sy) ? canvas.pixel(sx, sy) : kBlack;
  }
  void expectRegion(int left, int top, int right, int bottom) {
    ASSERT_TRUE(rig.clipboard.picture);
    const Image& got = *rig.clipboard.picture;
    ASSERT_EQ(got.width(), right - left);
    ASSERT_EQ(got.height(), bottom - top);
    for (int y = 0; y < got.height(); ++y)
      for (int x = 0; x < got.width(); ++x)
        ASSERT_EQ(got.pixel(x, y), expected(left, top, x, y)) << x << "," << y;
    EXPECT_EQ(fin().captured(), (IRect{left, top, right, bottom}));
  }
};

TEST_F(Capture, CopiesTheWindowsPictureExactly) {
  fin().captureRegion({5, 7, 36, 40});
  expectRegion(5, 7, 36, 40);
  EXPECT_EQ(rig.screen.grabs, 1);  // only the start-up read the screen
}

TEST_F(Capture, IsBlackPastTheScreensEdges) {
  fin().captureRegion({50, 40, 70, 52});
  expectRegion(50, 40, 70, 52);
  EXPECT_EQ(rig.clipboard.picture->pixel(19, 11), kBlack);
  fin().captureRegion({-5, -3, 5, 4});
  expectRegion(-5, -3, 5, 4);
  fin().captureRegion({-10, -10, 80, 60});  // around the whole screen
  expectRegion(-10, -10, 80, 60);
}

TEST_F(Capture, WholeRegionsOffTheScreenAreBlackEvenAtTheIntegerLimits) {
  fin().captureRegion({INT_MIN, INT_MIN, INT_MIN + 10, INT_MIN + 4});
  EXPECT_EQ(rig.clipboard.picture, Image(10, 4, kBlack));
  fin().captureRegion({INT_MAX - 3, INT_MAX - 2, INT_MAX, INT_MAX});
  EXPECT_EQ(rig.clipboard.picture, Image(3, 2, kBlack));
}

TEST_F(Capture, RefusesEmptyInvertedAndOversizedRegionsWithoutTouchingTheClipboard) {
  fin().captureRegion({1, 1, 11, 11});  // a good capture first: a later refusal must drop it
  ASSERT_TRUE(fin().captured());
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
    fin().captureRegion({r[0], r[1], r[2], r[3]});
    EXPECT_FALSE(fin().captured()) << r[0] << "," << r[1] << "," << r[2] << "," << r[3];
    EXPECT_EQ(rig.app.warnings.size(), warnings + 1);
  }
  EXPECT_FALSE(rig.clipboard.picture);
}

// The frame, handles and labels are controls over the window, not part of
// its picture: the capture holds none of them, and hiding them is not its
// business (the session's chrome does that).
TEST_F(Capture, TakesThePictureUnderTheControlsAndLeavesThemAlone) {
  rig.drag(10, 10, 50, 40);
  const Image shown = rig.surface.image();
  fin().captureRegion({8, 8, 52, 42});
  EXPECT_EQ(rig.clipboard.picture, shown.copy({8, 8, 52, 42}));
  for (const Ctl c : {Ctl::SelectionFrame, Ctl::SizeLabel, Ctl::ColorLabel, Ctl::Toolbar})
    EXPECT_TRUE(rig.ctl(c).visible()) << static_cast<int>(c);
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(rig.ctl(Ctl::Handle, i).visible()) << i;
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
    ASSERT_TRUE(rig.start());
    rig.drag(40, 30, 140, 90);
    rig.pointer.setShape(platform::PointerShape::Arrow);
    f.run(rig);
    ASSERT_TRUE(rig.app.closed);
    // Taken while the window had the keyboard, on every path; encoded once.
    EXPECT_TRUE(rig.clipboard.seenWhenTaken.windowOnScreen);
    EXPECT_EQ(rig.clipboard.encodes, 1);
    EXPECT_EQ(rig.clipboard.seen.windowOnScreen, f.clipboardEncodedOnScreen);
    EXPECT_EQ(rig.clipboard.seen.pointer == platform::PointerShape::Busy, f.clipboardEncodedOnScreen);
    ASSERT_EQ(rig.encoders.calls.size(), rig.dialog.answer ? 1u : 0u);
    if (rig.dialog.answer) {
      EXPECT_FALSE(rig.encoders.seen.windowOnScreen);  // the file's encoding
    }
    EXPECT_NE(rig.pointer.shape(), platform::PointerShape::Busy);
    // What the user made is kept: in the file, else on the clipboard.
    EXPECT_EQ(rig.clipboard.picture.has_value(), !f.fileWritten);
    EXPECT_EQ(rig.messageBox.shown.size(), std::string(f.how) == "save, failing" ? 1u : 0u);
  }
}

TEST(WhileEncoding, AWindowThatStaysGetsItsPointerBack) {
  Rig rig(200, 150);
  ASSERT_TRUE(rig.start());
  rig.pointer.setShape(platform::PointerShape::Move);
  output::Finisher fin = testutil::finisherOver(rig);
  fin.captureRegion({10, 10, 50, 40});
  EXPECT_EQ(rig.clipboard.seen.pointer, platform::PointerShape::Busy);
  EXPECT_EQ(rig.pointer.shape(), platform::PointerShape::Move);
  EXPECT_TRUE(rig.app.onScreen);
}

}  // namespace
}  // namespace tolvane
