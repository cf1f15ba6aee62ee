#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/save_path.h"
#include "app/start_region.h"
#include "fake/fake_platform.h"

namespace tolvane {
namespace {

using fake::Rig;
using platform::Ctl;

// --- --region ---

struct StartRegion : ::testing::Test {
  Rig rig{320, 240, fake::patternPicture(320, 240)};
  void SetUp() override { ASSERT_TRUE(rig.start()); }
};

TEST_F(StartRegion, SelectsTheRegionClampedToTheScreenWithItsToolbar) {
  const std::pair<IRect, IRect> cases[] = {
      {{40, 30, 140, 110}, {40, 30, 140, 110}},
      {{-20, -10, 50, 40}, {0, 0, 50, 40}},         // off the top-left
      {{300, 200, 400, 300}, {300, 200, 320, 240}},  // off the bottom-right
      {{0, 0, 320, 240}, {0, 0, 320, 240}},          // the whole screen
      {{7, 9, 8, 10}, {7, 9, 8, 10}},                // one pixel
  };
  for (const auto& [asked, want] : cases) {
    Rig r{320, 240, fake::patternPicture(320, 240)};
    ASSERT_TRUE(r.start());
    const IRect got = app::applyStartRegion(r.form, asked, 320, 240);
    EXPECT_EQ(got, want);
    EXPECT_TRUE(r.form.region().made());
    auto& frame = r.ctl(Ctl::SelectionFrame);
    EXPECT_TRUE(frame.visible());
    EXPECT_EQ((std::array{frame.left(), frame.top(), frame.width(), frame.height()}),
              (std::array<float, 4>{static_cast<float>(want.left), static_cast<float>(want.top),
                                    static_cast<float>(want.width()), static_cast<float>(want.height())}));
    EXPECT_TRUE(r.ctl(Ctl::Toolbar).visible());
  }
}

TEST_F(StartRegion, ARegionOffTheScreenSelectsNothing) {
  EXPECT_TRUE(app::applyStartRegion(rig.form, {320, 0, 400, 50}, 320, 240).empty());
  EXPECT_TRUE(app::applyStartRegion(rig.form, {-50, -50, 0, 0}, 320, 240).empty());
  EXPECT_FALSE(rig.form.region().made());
  EXPECT_FALSE(rig.ctl(Ctl::SelectionFrame).visible());
  EXPECT_FALSE(rig.ctl(Ctl::Toolbar).visible());
}

TEST_F(StartRegion, ADoubleClickInsideCopiesExactlyThatRegion) {
  const IRect region{40, 30, 140, 110};
  app::applyStartRegion(rig.form, region, 320, 240);
  rig.down(90, 70);
  rig.up(90, 70);
  rig.form.dblClick({Ctl::Window, -1});
  ASSERT_TRUE(rig.clipboard.picture.has_value());
  EXPECT_EQ(*rig.clipboard.picture, fake::patternPicture(320, 240).copy(region));
}

// --- -p ---

platform::SaveRequest request() {
  platform::SaveRequest r;
  r.title = "Tolvane-保存为";
  r.filters = {{"PNG文件(*.PNG)", "*.PNG"}, {"所有文件(*.*)", "*.*"}};
  r.selectedFilter = 1;
  r.fileName = "Tolvane2026-12-06_14.05.09";
  r.folder = "/home/user/Pictures";
  return r;
}

TEST(PathSaveDialog, AFileAnswersAtOnceWithoutTheDialog) {
  fake::Log log;
  fake::FakeSaveDialog dialog(log);
  app::PathSaveDialog withFile(dialog, "", "/tmp/shots/../a.jpeg");
  const auto answer = withFile.run(request());
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->path, "/tmp/a.jpeg");
  EXPECT_TRUE(log.empty());  // never shown
  // A relative name is taken from the folder current when the program started.
  app::PathSaveDialog relative(dialog, "", "b.png");
  EXPECT_EQ(relative.run(request())->path, (std::filesystem::current_path() / "b.png").string());
}

TEST(PathSaveDialog, AFolderIsWhereTheDialogStartsAndTheAnswerIsTheUsers) {
  fake::Log log;
  fake::FakeSaveDialog dialog(log);
  dialog.answer = platform::SaveAnswer{"/elsewhere/x.gif", 4};
  app::PathSaveDialog inFolder(dialog, "/tmp/shots/", "");
  const auto answer = inFolder.run(request());
  ASSERT_TRUE(dialog.request.has_value());
  EXPECT_EQ(dialog.request->folder, "/tmp/shots/");
  EXPECT_EQ(dialog.request->fileName, "Tolvane2026-12-06_14.05.09");
  EXPECT_EQ(dialog.request->filters.size(), 2u);
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->path, "/elsewhere/x.gif");
  EXPECT_EQ(answer->filter, 4);
  // Without -p the request goes through as it is, and so does a cancel.
  dialog.answer.reset();
  app::PathSaveDialog plain(dialog, "", "");
  EXPECT_FALSE(plain.run(request()).has_value());
  EXPECT_EQ(dialog.request->folder, "/home/user/Pictures");
}

}  // namespace
}  // namespace tolvane
