// The first stage's own surfaces on sway: the frozen screen under the veil
// before the capture stage is loaded, and what the user does on them then.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <thread>

#include "registry_filter.h"
#include "sway_fixture.h"

namespace tolvane::e2e {
namespace {

// The compositor as it is, or without its layer shell: the first stage
// then shows the veil on full-screen windows of its own.
enum class Shell { Layer, Windows };

class StartUp : public SwayTest, public ::testing::WithParamInterface<Shell> {
 protected:
  StartUp() : SwayTest("wlsu-") {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(SwayTest::SetUp());
    if (GetParam() == Shell::Windows) {
      filter_ = std::make_unique<RegistryFilter>(sway_->socket(), std::vector<std::string>{"zwlr_layer_shell_v1"});
      ASSERT_TRUE(filter_->ok());
    }
  }
  std::map<std::string, std::string> programEnv() const {
    auto all = env();
    if (filter_) all["WAYLAND_DISPLAY"] = filter_->socket();
    return all;
  }

  // Starts the program and stops it while its start-up surfaces show the
  // veil and the capture stage has no window yet: the program runs a
  // millisecond at a time between looks. False when the capture stage's
  // window came first (the run is then retried).
  bool stopOnStartUpSurfaces(std::unique_ptr<Process>& p) {
    p.reset();  // a run still going would hold the lock
    p = std::make_unique<Process>(std::vector<std::string>{programPath()}, programEnv());
    const Image want = veiled(picture_);
    const auto end = std::chrono::steady_clock::now() + kPatience;
    while (p->running() && std::chrono::steady_clock::now() < end) {
      kill(p->pid(), SIGSTOP);
      if (sway_->window("Tolvane").found) break;
      if (startUpSurfacesUp(procMappings(p->pid())) && sway_->grab() == want) return true;
      kill(p->pid(), SIGCONT);
      std::this_thread::sleep_for(1ms);
    }
    kill(p->pid(), SIGCONT);
    why_ = p->running() ? "" : "the program ended: " + p->stderrText();
    return false;
  }
  std::string why_;
  void stopWithVeil(std::unique_ptr<Process>& p) {
    bool stopped = false;
    for (int attempt = 0; attempt < 5 && !stopped; ++attempt) stopped = stopOnStartUpSurfaces(p);
    ASSERT_TRUE(stopped) << "the capture window was always up before the start-up surfaces showed the veil" << why_;
  }
  std::unique_ptr<RegistryFilter> filter_;
};

INSTANTIATE_TEST_SUITE_P(Shells, StartUp, ::testing::Values(Shell::Layer, Shell::Windows),
                         [](const auto& tc) { return std::string(tc.param == Shell::Layer ? "LayerShell" : "Windows"); });

// The filter in front of sway really hides the layer shell, and only it.
TEST(RegistryFilter, HidesTheLayerShellAndNothingElse) {
  Sway sway({knownPicture(kW, kH)});
  ASSERT_TRUE(sway.ok());
  RegistryFilter filter(sway.socket(), {"zwlr_layer_shell_v1"});
  ASSERT_TRUE(filter.ok());
  std::vector<std::string> all = globalsAt(sway.socket()), seen = globalsAt(filter.socket());
  ASSERT_EQ(std::count(all.begin(), all.end(), "zwlr_layer_shell_v1"), 1);
  std::erase(all, "zwlr_layer_shell_v1");
  EXPECT_EQ(seen, all);
}

TEST_P(StartUp, ShowsTheVeilBeforeTheCaptureWindowAndEndsOnEscapeThere) {
  std::unique_ptr<Process> p;
  ASSERT_NO_FATAL_FAILURE(stopWithVeil(p));
  ASSERT_TRUE(sway_->keys({"-k", "Escape"}));
  kill(p->pid(), SIGCONT);
  EXPECT_EQ(p->wait(kPatience), 0) << p->stderrText();
  EXPECT_TRUE(waitUntil([&] { return sway_->grab() == picture_; }, kPatience));
}

// A whole drag made before the capture window is up, pressed, moved and
// released on the start-up surface, is the region; Ctrl+C copies it exactly.
TEST_P(StartUp, AQuickDragOnTheStartUpSurfaceIsTheRegion) {
  std::unique_ptr<Process> p;
  ASSERT_NO_FATAL_FAILURE(stopWithVeil(p));
  ASSERT_TRUE(sway_->move(100, 100));
  ASSERT_TRUE(sway_->press());
  ASSERT_TRUE(sway_->move(150, 140));
  ASSERT_TRUE(sway_->move(200, 180));
  ASSERT_TRUE(sway_->release());
  kill(p->pid(), SIGCONT);
  ASSERT_TRUE(waitUntil([&] { return handedOver(p->pid()); }, kPatience)) << p->stderrText();
  ASSERT_TRUE(sway_->keys({"-M", "ctrl", "-k", "c", "-m", "ctrl"}));
  const std::optional<Image> got = sway_->pastedPicture();
  ASSERT_TRUE(got.has_value()) << p->stderrText();
  EXPECT_EQ(*got, picture_.copy({100, 100, 200, 180}));
}

// Two outputs side by side: a drag made on the second output's start-up
// surface is that output's region (each surface's events name it).
TEST(StartUpOutputs, AQuickDragOnTheSecondOutputsSurfaceIsItsRegion) {
  const Image left = knownPicture(kW, kH), right = inverted(knownPicture(320, 240));
  const auto places = sideBySidePlaces({left, right});
  Sway sway({left, right}, places);
  ASSERT_TRUE(sway.ok());
  const TestFolders folders = makeTestFolders("wlsu2-");
  auto env = sway.clientEnv(folders.runtime);
  env.merge(homeEnv(folders.home));
  Process p(std::vector<std::string>{programPath()}, env);
  const Image want = layoutOf({veiled(left), veiled(right)}, places);
  // Stopped while the start-up surfaces show the veil and no capture window is up.
  bool stopped = false;
  for (const auto end = std::chrono::steady_clock::now() + kPatience; !stopped && p.running() &&
                                                                      std::chrono::steady_clock::now() < end;) {
    kill(p.pid(), SIGSTOP);
    if (sway.window("Tolvane").found) break;
    stopped = startUpSurfacesUp(procMappings(p.pid())) && sway.grab() == want;
    if (!stopped) {
      kill(p.pid(), SIGCONT);
      std::this_thread::sleep_for(1ms);
    }
  }
  ASSERT_TRUE(stopped) << "the capture window came before the start-up surfaces showed the veil";
  ASSERT_TRUE(sway.drag(kW + 30, 20, kW + 230, 120));
  kill(p.pid(), SIGCONT);
  ASSERT_TRUE(waitUntil([&] { return handedOver(p.pid()); }, kPatience)) << p.stderrText();
  ASSERT_TRUE(sway.keys({"-M", "ctrl", "-k", "c", "-m", "ctrl"}));
  const std::optional<Image> got = sway.pastedPicture();
  ASSERT_TRUE(got.has_value()) << p.stderrText();
  EXPECT_EQ(*got, right.copy({30, 20, 230, 120}));
  kill(p.pid(), SIGTERM);
  p.wait(kPatience);
}

}  // namespace
}  // namespace tolvane::e2e
