#include <gtest/gtest.h>

#include "fake/fake_platform.h"
#include "selection/backdrop.h"
#include "selection/split_color.h"

namespace tolvane {
namespace {

using fake::Rig;
using platform::Ctl;
using StartUp = session::CaptureSession::StartUp;

TEST(SplitColor, SplitsLowByteFirstWithTruncatingDivision) {
  std::int32_t r = 0, g = 0, b = 0;
  selection::splitColor(0x00123456, r, g, b);
  EXPECT_EQ((std::array{r, g, b}), (std::array{86, 52, 18}));
  selection::splitColor(-1, r, g, b);
  EXPECT_EQ((std::array{r, g, b}), (std::array{-1, 0, 0}));
  selection::splitColor(-257, r, g, b);
  EXPECT_EQ((std::array{r, g, b}), (std::array{-1, -1, 0}));
}

TEST(StartUp, ShowsTheWholeScreenVeiledWithNothingOnIt) {
  const Image screen = fake::patternPicture(64, 48);
  Rig rig(64, 48, screen);
  ASSERT_TRUE(rig.start());
  EXPECT_EQ(rig.screen.grabs, 1);  // one read fills the canvas and the frozen copy
  EXPECT_TRUE(rig.app.onScreen);
  EXPECT_EQ(rig.pointer.shape(), platform::PointerShape::Cross);
  Image veiled = screen;
  picture::raster::veil(veiled, veiled.rect(), selection::kVeil);
  EXPECT_EQ(rig.surface.image(), veiled);
  EXPECT_TRUE(rig.surface.persistent());  // what is drawn next stays
  // No control of the window shows yet; the toolbar waits above the screen.
  for (const auto& c : rig.form.controls().all()) {
    if (c.state().parent.ctl == Ctl::Window) {
      EXPECT_FALSE(c.visible()) << c.state().name;
    }
  }
  EXPECT_EQ(rig.ctl(Ctl::Toolbar).top(), -rig.ctl(Ctl::Toolbar).height());
}

TEST(StartUp, WaitsForARegionWithACleanHistory) {
  Image white(4, 3, 0xFFFFFFFFu);
  Rig rig(4, 3, white);
  ASSERT_TRUE(rig.start());
  // The veil over white is exactly (144,144,144); the background stays clean.
  EXPECT_EQ(rig.surface.getPixel(0, 0), rgb(144, 144, 144));
  EXPECT_EQ(rig.surface.picture(), white);
  EXPECT_EQ(rig.form.history().index(), 1);
  EXPECT_EQ(rig.form.history().top(), 1);
  EXPECT_EQ(rig.form.history().picture(1), white);
  // A drag makes a region: no tool is chosen and the window waits for one.
  rig.drag(1, 1, 3, 2);
  EXPECT_TRUE(rig.ctl(Ctl::SelectionFrame).visible());
  EXPECT_TRUE(rig.ctl(Ctl::Toolbar).visible());
  EXPECT_EQ(rig.form.history().index(), 1);  // and nothing was drawn by it
}

TEST(StartUp, ASecondInstanceReadsNothingShowsNothingAndEndsQuietly) {
  Rig rig;
  rig.lock.state = platform::InstanceLock::State::HeldElsewhere;
  EXPECT_EQ(rig.form.start(), StartUp::AnotherCapture);
  EXPECT_EQ(rig.screen.grabs, 0);
  EXPECT_FALSE(rig.app.onScreen);
  EXPECT_TRUE(rig.form.closed());
  EXPECT_FALSE(rig.lock.released);  // the lock was never ours
  EXPECT_FALSE(rig.form.failure().has_value());
}

TEST(StartUp, RunsWithAWarningWhenTheLockCannotBeTaken) {
  Rig rig;
  rig.lock.state = platform::InstanceLock::State::Unavailable;
  ASSERT_TRUE(rig.start());
  ASSERT_EQ(rig.app.warnings.size(), 1u);
  EXPECT_EQ(rig.app.warnings[0], "tolvane: no runtime folder; the single-instance check is off");
}

TEST(StartUp, AnUnreadableScreenEndsTheStartUpWithItsReasonAndNoCapture) {
  Rig rig(8, 8);
  rig.screen.picture.reset();
  rig.screen.why = "the screen's visual is PseudoColor at depth 8";
  EXPECT_EQ(rig.form.start(), StartUp::ScreenUnreadable);
  ASSERT_TRUE(rig.form.failure().has_value());
  EXPECT_EQ(rig.form.failure()->description, rig.screen.why);
  ASSERT_EQ(rig.app.warnings.size(), 1u);
  EXPECT_NE(rig.app.warnings[0].find("cannot read the screen: the screen's visual is PseudoColor at depth 8"),
            std::string::npos)
      << rig.app.warnings[0];
  // Nothing shown or drawn; the lock is free for the next capture.
  EXPECT_FALSE(rig.app.onScreen);
  EXPECT_EQ(rig.surface.image(), Image(8, 8, 0xFF000000u));
  EXPECT_TRUE(rig.lock.released);
  EXPECT_TRUE(rig.form.closed());
  EXPECT_FALSE(rig.clipboard.picture.has_value());
  // Events that still arrive do nothing: no band, no second close.
  rig.drag(2, 2, 6, 6);
  rig.key(fake::keyOf(platform::KeyCode::Escape));
  EXPECT_FALSE(rig.ctl(Ctl::SelectionFrame).visible());
  EXPECT_EQ(rig.surface.image(), Image(8, 8, 0xFF000000u));
  EXPECT_EQ(rig.app.closes, 0);
}

TEST(StartUp, AFailedReadWithoutAReasonStillFails) {
  Rig rig(8, 8);
  rig.screen.picture.reset();
  EXPECT_EQ(rig.form.start(), StartUp::ScreenUnreadable);
  EXPECT_TRUE(rig.form.failure().has_value());
}

TEST(KeyPress, EscClosesAndReleasesEverythingOnce) {
  Rig rig;
  ASSERT_TRUE(rig.start());
  rig.key({platform::KeyCode::Letter, 'a'});
  EXPECT_FALSE(rig.app.closed);
  rig.key(fake::keyOf(platform::KeyCode::Escape));
  EXPECT_TRUE(rig.app.closed);
  EXPECT_TRUE(rig.lock.released);
  rig.key(fake::keyOf(platform::KeyCode::Escape));
  rig.drag(10, 10, 50, 50);  // events after the close change nothing
  EXPECT_EQ(rig.app.closes, 1);
  EXPECT_FALSE(rig.ctl(Ctl::SelectionFrame).visible());
}

}  // namespace
}  // namespace tolvane
