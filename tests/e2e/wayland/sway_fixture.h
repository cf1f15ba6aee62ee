// A test on a private headless sway showing the known picture on one
// output, with a run folder and a home of its own.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../test_folders.h"
#include "sway.h"

namespace tolvane::e2e {

// The size of the known picture, the one output's.
inline constexpr int kW = 640, kH = 480;

// The first stage keeps the outputs' copies mapped while its start-up
// surfaces show them, and lets them go once those are gone.
inline bool startUpSurfacesUp(const std::string& maps) {
  return maps.find("memfd:tolvane-screen") != std::string::npos;
}
inline bool captureStageLoaded(const std::string& maps) {
  return maps.find("tolvane-capture.so") != std::string::npos;
}
// The capture stage has taken over from the start-up surfaces.
inline bool handedOver(pid_t pid) {
  const std::string maps = procMappings(pid);
  return captureStageLoaded(maps) && !startUpSurfacesUp(maps);
}

class SwayTest : public ::testing::Test {
 protected:
  // `prefix` starts the names of the test's folders.
  explicit SwayTest(std::string prefix) : prefix_(std::move(prefix)) {}

  void SetUp() override {
    picture_ = knownPicture(kW, kH);
    sway_ = std::make_unique<Sway>(std::vector<Image>{picture_});
    ASSERT_TRUE(sway_->ok()) << "headless sway did not start";
    const TestFolders folders = makeTestFolders(prefix_);
    runtime_ = folders.runtime;
    home_ = folders.home;
    // The program runs as the tests' plain user, in these folders.
    for (const std::string& d : {runtime_, home_, home_ + "/Pictures"}) ASSERT_TRUE(giveToTestUser(d)) << d;
  }

  // What the program needs as a client of this sway, kept in the test's folders.
  std::map<std::string, std::string> env() const {
    auto all = sway_->clientEnv(runtime_);
    all.merge(homeEnv(home_));
    return all;
  }

  // Until the capture window is on the output, input would reach the
  // desktop below, or the start-up surfaces, which keep only Esc and a drag.
  bool waitForVeil(Process& p) const {
    const Image want = veiled(picture_);
    return waitUntil([&] { return !p.running() || (handedOver(p.pid()) && sway_->grab() == want); }, kPatience) &&
           p.running();
  }

  Image picture_;
  std::unique_ptr<Sway> sway_;
  std::string runtime_, home_;

 private:
  std::string prefix_;
};

}  // namespace tolvane::e2e
