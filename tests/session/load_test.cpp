#include <gtest/gtest.h>

#include "fake/fake_platform.h"
#include "session/split_color.h"

namespace tolvane {
namespace {

using fake::Log;
using fake::Rig;
using platform::Ctl;

TEST(SplitColor, SplitsLowByteFirstWithTruncatingDivision) {
  std::int32_t r = 0, g = 0, b = 0;
  session::splitColor(0x00123456, r, g, b);
  EXPECT_EQ((std::array{r, g, b}), (std::array{86, 52, 18}));
  session::splitColor(-1, r, g, b);
  EXPECT_EQ((std::array{r, g, b}), (std::array{-1, 0, 0}));
  session::splitColor(-257, r, g, b);
  EXPECT_EQ((std::array{r, g, b}), (std::array{-1, -1, 0}));
}

TEST(Load, CallsThePlatformInOrder) {
  Rig rig(64, 48);
  ASSERT_TRUE(rig.form.start());
  const Log expected = {
      "Lock acquire",
      "Grab",
      "Toolbar.Geometry=0,-26,241.33333,26",
      "Toolbar.Visible=0",
      "Persistent on",
      "Pointer 2",
      "BitBlt 0,0 64x48 from 0,0",
      "ShowMaximized",
      "SetPicture 64x48",
      "Fill 80222222 0,0 64x48",
  };
  EXPECT_EQ(rig.logSince(0), expected);
  EXPECT_EQ(rig.screen.grabs, 1);  // one read fills the canvas and the frozen copy
}

TEST(Load, LeavesIdleStateWithCleanSnapshotAndVeiledCanvas) {
  Image white(4, 3, 0xFFFFFFFFu);
  Rig rig(4, 3, white);
  ASSERT_TRUE(rig.form.start());
  auto& s = rig.form.state();
  EXPECT_EQ(s.selMode, session::SelMode::Draw);
  EXPECT_FALSE(s.toolActive);
  EXPECT_FALSE(s.penDown);
  EXPECT_TRUE(s.releaseEnds);
  EXPECT_EQ(rig.form.history().index(), 1);
  EXPECT_EQ(rig.form.history().top(), 1);
  EXPECT_EQ(s.frozen, white);
  // The veil over white is exactly (144,144,144); the background stays clean.
  EXPECT_EQ(rig.surface.getPixel(0, 0), rgb(144, 144, 144));
  EXPECT_EQ(rig.surface.picture(), white);
  EXPECT_EQ(rig.form.history().picture(1), white);
  for (const auto& c : rig.form.controls().all()) {
    if (c.state().parent.ctl == Ctl::Window) {
      EXPECT_FALSE(c.visible()) << c.state().name;
    }
  }
}

TEST(Load, SecondInstanceReadsNothingAndEnds) {
  Rig rig;
  rig.lock.state = platform::InstanceLock::State::HeldElsewhere;
  EXPECT_FALSE(rig.form.start());
  EXPECT_EQ(rig.screen.grabs, 0);
  EXPECT_EQ(rig.logSince(0), (Log{"Lock acquire"}));
  EXPECT_TRUE(rig.form.failure().empty());  // not a failure: the program ends quietly
}

TEST(Load, RunsWithAWarningWhenTheLockCannotBeTaken) {
  Rig rig;
  rig.lock.state = platform::InstanceLock::State::Unavailable;
  ASSERT_TRUE(rig.form.start());
  ASSERT_EQ(rig.app.warnings.size(), 1u);
  EXPECT_NE(rig.app.warnings[0].find("single-instance check is off"), std::string::npos);
}

TEST(Load, AnUnreadableScreenEndsTheStartUpWithItsReasonAndNoCapture) {
  Rig rig(8, 8);
  rig.screen.picture.reset();
  rig.screen.why = "the screen's visual is PseudoColor at depth 8";
  EXPECT_FALSE(rig.form.start());
  EXPECT_EQ(rig.form.failure(), rig.screen.why);
  ASSERT_EQ(rig.app.warnings.size(), 1u);
  EXPECT_NE(rig.app.warnings[0].find("cannot read the screen: the screen's visual is PseudoColor at depth 8"),
            std::string::npos)
      << rig.app.warnings[0];
  // Nothing shown, drawn or kept; the lock is free for the next capture.
  EXPECT_EQ(rig.logSince(0), (Log{"Lock acquire", "Grab", "Lock release"}));
  EXPECT_TRUE(rig.form.unloaded());
  EXPECT_TRUE(rig.form.state().frozen.isNull());
  EXPECT_FALSE(rig.clipboard.picture.has_value());
  // Events that still arrive do nothing.
  const auto n = rig.log.size();
  rig.form.mouseDown({Ctl::Window, -1}, {platform::kLeft, 0, 2, 2});
  rig.form.keyPress(27);
  EXPECT_EQ(rig.log.size(), n);
}

TEST(Load, AFailedReadWithoutAReasonStillFails) {
  Rig rig(8, 8);
  rig.screen.picture.reset();
  EXPECT_FALSE(rig.form.start());
  EXPECT_FALSE(rig.form.failure().empty());
}

TEST(KeyPress, EscClosesAndReleasesEverythingOnce) {
  Rig rig;
  ASSERT_TRUE(rig.form.start());
  rig.form.keyPress('a');
  EXPECT_FALSE(rig.app.unloaded);
  rig.form.keyPress(27);
  EXPECT_TRUE(rig.app.unloaded);
  EXPECT_TRUE(rig.lock.released);
  EXPECT_TRUE(rig.form.state().frozen.isNull());
  const auto n = rig.log.size();
  rig.form.keyPress(27);
  EXPECT_EQ(rig.log.size(), n);
}

}  // namespace
}  // namespace tolvane
