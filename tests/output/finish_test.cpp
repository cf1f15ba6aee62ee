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

// A region dragged out from (fromX, fromY) to (toX, toY), then the double
// click's first press and release at (x, y).
struct Armed {
  Rig rig{200, 150};
  explicit Armed(float x, float y, float fromX = 40, float fromY = 30, float toX = 140, float toY = 90) {
    EXPECT_TRUE(rig.start());
    rig.drag(fromX, fromY, toX, toY);
    rig.down(x, y);
    rig.up(x, y);
  }
  // Whether the double click copied the region and closed the window.
  bool finishes() {
    rig.form.dblClick({Ctl::Window, -1});
    EXPECT_EQ(rig.clipboard.picture.has_value(), rig.app.closed);
    return rig.app.closed;
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
  ASSERT_TRUE(rig.start());
  rig.form.dblClick({Ctl::Window, -1});
  EXPECT_FALSE(rig.app.closed);
  EXPECT_FALSE(rig.clipboard.picture);
  EXPECT_FALSE(rig.dialog.request);
  // Nor on a region made by the double click's own first click.
  rig.down(50, 50);
  rig.up(50, 50);
  rig.form.dblClick({Ctl::Window, -1});
  EXPECT_FALSE(rig.app.closed);
  EXPECT_TRUE(rig.app.warnings.empty());
}

TEST(DoubleClick, CopiesTheRegionOffersTheDialogAndCloses) {
  Rig rig(320, 240);
  ASSERT_TRUE(rig.start());
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
  EXPECT_TRUE(rig.app.closed);
  // Cancelled: the capture stays on the clipboard.
  ASSERT_TRUE(rig.clipboard.picture);
  EXPECT_EQ(*rig.clipboard.picture, region);
}

TEST(DoubleClick, TakesTheFramesRegionRoundedHalfToEven) {
  Armed a(20, 25, 11.5f, 20.5f, 41.5f, 36);  // 11.5, 20.5, 30 x 15.5: 12, 20, 41.5 -> 42, 36
  const Image canvas = a.rig.surface.image();
  ASSERT_TRUE(a.finishes());
  ASSERT_TRUE(a.rig.clipboard.picture);
  const Image& got = *a.rig.clipboard.picture;
  ASSERT_EQ(got.width(), 30);
  ASSERT_EQ(got.height(), 16);
  EXPECT_EQ(got, canvas.copy({12, 20, 42, 36}));
}

TEST(DoubleClick, ThePictureShowsAnnotationsUndimmedWithoutTheFrame) {
  Rig rig(200, 150, Image(200, 150, kWhite));
  ASSERT_TRUE(rig.start());
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

// --- what the screen shows is what is captured ---

// Text typed into the open box reaches every capture exactly as if the user
// had committed it with a click first.
TEST(WhatYouSeeIsWhatYouGet, PendingTextReachesEveryCapture) {
  enum class Finish { CopyButton, SaveButton, DoubleClick };
  const Image white(200, 150, kWhite);
  // A region, the text tool, and "HELLO" typed into a box opened at (60, 60).
  auto typed = [&](Rig& rig) {
    ASSERT_TRUE(rig.start());
    rig.drag(20, 20, 180, 130);
    rig.down(100, 100);  // a click inside the region first
    rig.up(100, 100);
    rig.clickTool(5);
    rig.down(60, 60);
    rig.up(60, 60);
    rig.form.textChanged({Ctl::NoteField, -1}, "HELLO");
    ASSERT_TRUE(rig.ctl(Ctl::NoteField).visible());
  };
  Rig reference(200, 150, white);
  typed(reference);
  reference.down(10, 10);  // a click outside the region commits the text
  reference.up(10, 10);
  reference.clickTool(1);
  ASSERT_TRUE(reference.clipboard.picture);
  const Image expected = *reference.clipboard.picture;
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
    EXPECT_TRUE(rig.app.closed);
    if (how == Finish::CopyButton) {
      ASSERT_TRUE(rig.clipboard.picture);
      EXPECT_EQ(*rig.clipboard.picture, expected);
    } else {
      EXPECT_TRUE(dir.exists("shot.png"));
      EXPECT_EQ(rig.encoders.last, expected);  // the picture the file was made from
    }
    EXPECT_FALSE(rig.ctl(Ctl::NoteField).visible());
    EXPECT_EQ(rig.form.history().index(), 2);  // recorded like a committed text
  }
}

}  // namespace
}  // namespace tolvane
