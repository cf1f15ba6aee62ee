// Two outputs side by side: the save dialog opens on the output that holds
// the region, above the capture window there, and the name typed in it is
// written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>

#include "../test_folders.h"
#include "sway_fixture.h"

namespace tolvane::e2e {
namespace {

constexpr int kLeftW = 640, kLeftH = 480, kRightW = 480, kRightH = 360;

class WaylandOutputsDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    left_ = knownPicture(kLeftW, kLeftH);
    right_ = inverted(knownPicture(kRightW, kRightH));
    places_ = sideBySidePlaces({left_, right_});
    sway_ = std::make_unique<Sway>(std::vector<Image>{left_, right_}, places_);
    ASSERT_TRUE(sway_->ok()) << "headless sway did not start";
    const TestFolders folders = makeTestFolders("wl-outputs-dialog-");
    home_ = folders.home;
    auto env = sway_->clientEnv(folders.runtime);
    env.merge(homeEnv(home_));
    p_ = std::make_unique<Process>(std::vector<std::string>{programPath()}, env);
    const Image want = layoutOf({veiled(left_), veiled(right_)}, places_);
    ASSERT_TRUE(waitUntil([&] { return !p_->running() || (handedOver(p_->pid()) && sway_->grab() == want); },
                          kPatience) &&
                p_->running())
        << p_->stderrText();
  }

  // A double click in `region` (layout pixels); the dialog must come up on
  // the output holding it, seen, and take the name typed.
  void saveThroughTheDialog(const IRect& region, const IRect& output, const Image& expected) {
    ASSERT_TRUE(sway_->drag(region.left, region.top, region.right, region.bottom));
    ASSERT_TRUE(sway_->doubleClick((region.left + region.right) / 2, (region.top + region.bottom) / 2));
    Sway::WindowState dialog;
    ASSERT_TRUE(waitUntil([&] { return (dialog = sway_->window("Tolvane-保存为")).found; }, kPatience))
        << p_->stderrText();
    EXPECT_TRUE(dialog.visible) << "the dialog is under the capture window";
    const int cx = (dialog.rect.left + dialog.rect.right) / 2, cy = (dialog.rect.top + dialog.rect.bottom) / 2;
    EXPECT_TRUE(cx >= output.left && cx < output.right && cy >= output.top && cy < output.bottom)
        << "the dialog's middle " << cx << "," << cy << " is off the region's output";
    // Sway 1.7 gives no keyboard to a window opened over a full-screen one,
    // even one that belongs to it, until the pointer moves onto it: the
    // test gives it the focus.
    ASSERT_TRUE(sway_->focusWindow("Tolvane-保存为"));
    const std::string file = home_ + "/typed.png";
    ASSERT_TRUE(sway_->keys({"-M", "ctrl", "-k", "a", "-m", "ctrl"}));
    ASSERT_TRUE(sway_->keys({file}));
    ASSERT_TRUE(sway_->keys({"-k", "Return"}));
    Image saved;
    EXPECT_TRUE(waitUntil([&] { return !(saved = decodePng(readFile(file))).isNull(); }, kPatience))
        << p_->stderrText();
    EXPECT_EQ(saved, expected);
  }

  Image left_, right_;
  std::vector<std::pair<int, int>> places_;
  std::unique_ptr<Sway> sway_;
  std::unique_ptr<Process> p_;
  std::string home_;
};

TEST_F(WaylandOutputsDialog, OnTheSecondOutput) {
  saveThroughTheDialog({kLeftW + 40, 30, kLeftW + 240, 150}, {kLeftW, 0, kLeftW + kRightW, kRightH},
                       right_.copy({40, 30, 240, 150}));
}

TEST_F(WaylandOutputsDialog, OnTheFirstOutput) {
  saveThroughTheDialog({100, 80, 300, 200}, {0, 0, kLeftW, kLeftH}, left_.copy({100, 80, 300, 200}));
}

}  // namespace
}  // namespace tolvane::e2e
