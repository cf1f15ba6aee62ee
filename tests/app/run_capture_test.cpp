#include "app/run_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "fake/fake_platform.h"
#include "texts/texts.h"

namespace tolvane {
namespace {

using app::CaptureHost;
using fake::PlatformRig;
using platform::Ctl;
using platform::KeyCode;

// What the loop returns when the script ran out and nobody ended it: the
// real loop would have gone on waiting.
constexpr int kStillRunning = 99;

// A window system that plays a script: the first frame shows as the loop
// starts, then each step runs as an event, until the run quits.
class ScriptedHost : public CaptureHost {
 public:
  explicit ScriptedHost(PlatformRig& rig) : rig_(rig) {}

  void connect(session::CaptureSession& s, Calls c) override {
    session = &s;
    calls = std::move(c);
    rig_.app.onClosed = calls.windowGone;
  }
  void whenShown(std::function<void(bool)> f) override { shown = std::move(f); }
  void send(const std::function<void(platform::EventSink&)>& event) override {
    try {
      event(*session);
    } catch (const std::exception& e) {
      calls.failed(e.what());
    }
  }
  void goLive() override { live = true; }
  int runLoop() override {
    ++loops;
    if (shown) std::exchange(shown, nullptr)(userActedFirst);
    for (const auto& step : script) {
      if (quitAsked) break;
      step(*this);
    }
    return quitAsked ? 0 : kStillRunning;
  }
  void quit() override { quitAsked = true; }

  void key(const platform::Key& k) {
    send([&k](platform::EventSink& s) { s.keyDown({}, k); });
  }

  session::CaptureSession* session = nullptr;
  Calls calls;
  std::function<void(bool)> shown;
  std::vector<std::function<void(ScriptedHost&)>> script;
  bool userActedFirst = false;  // a press or Esc on the start-up window
  bool live = false;
  bool quitAsked = false;
  int loops = 0;

 private:
  PlatformRig& rig_;
};

TEST(RunCapture, StartUpOutcomesGiveTheirExitStatus) {
  using State = platform::InstanceLock::State;
  struct Case {
    const char* name;
    State lock;
    bool screenReadable;
    int status;
    bool loopRuns;
  };
  const Case cases[] = {
      {"another capture runs", State::HeldElsewhere, true, 0, false},
      {"the screen cannot be read", State::Acquired, false, 1, false},
      {"no place for the lock: runs unchecked", State::Unavailable, true, 0, true},
      {"a plain start", State::Acquired, true, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlatformRig rig;
    rig.lock.state = c.lock;
    if (!c.screenReadable) rig.screen.picture.reset();
    ScriptedHost host(rig);
    host.script = {[](ScriptedHost& h) { h.key(fake::keyOf(KeyCode::Escape)); }};
    EXPECT_EQ(app::runCapture(host, rig.platform, &rig.view, std::nullopt), c.status);
    EXPECT_EQ(host.loops, c.loopRuns ? 1 : 0);
    EXPECT_EQ(host.live, c.loopRuns);
    // Nothing is shown of a capture that does not run.
    EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), "ShowMaximized"), c.loopRuns ? 1 : 0);
  }
}

TEST(RunCapture, TheStartRegionIsSelectedWhenTheWindowShowsUnlessTheUserWasQuicker) {
  struct Case {
    const char* name;
    std::optional<IRect> region;
    bool userActed;
    std::optional<IRect> selected;  // nullopt: no region made
    bool warned;
  };
  const Case cases[] = {
      {"on the screen", IRect{40, 30, 140, 110}, false, IRect{40, 30, 140, 110}, false},
      {"half off: clamped", IRect{300, 200, 400, 300}, false, IRect{300, 200, 320, 240}, false},
      {"off the screen", IRect{400, 300, 500, 400}, false, std::nullopt, true},
      {"the user pressed first", IRect{40, 30, 140, 110}, true, std::nullopt, false},
      {"none asked", std::nullopt, false, std::nullopt, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlatformRig rig(320, 240);
    ScriptedHost host(rig);
    host.userActedFirst = c.userActed;
    std::optional<IRect> seen;
    host.script = {[&seen](ScriptedHost& h) {
      if (h.session->region().made()) seen = h.session->region().shape().pixels();
      h.key(fake::keyOf(KeyCode::Escape));
    }};
    EXPECT_EQ(app::runCapture(host, rig.platform, &rig.view, c.region), 0);
    EXPECT_EQ(seen, c.selected);
    const std::vector<std::string> offScreen{"tolvane: the --region lies off the screen: none is selected"};
    EXPECT_EQ(rig.app.warnings, c.warned ? offScreen : std::vector<std::string>{});
  }
}

// Serving the clipboard after the window is the caller's: the run ends with
// the window, whatever the clipboard holds.
TEST(RunCapture, TheRunEndsWhenTheWindowIsGoneAndNotBefore) {
  using Step = std::function<void(ScriptedHost&)>;
  const Step esc = [](ScriptedHost& h) { h.key(fake::keyOf(KeyCode::Escape)); };
  const Step select = [](ScriptedHost& h) { h.session->selectRegion({10, 10, 60, 50}); };
  const Step copy = [](ScriptedHost& h) { h.key(fake::ctrlKey('c')); };
  const Step windowManagerCloses = [](ScriptedHost& h) { h.calls.closeRequested(); };
  struct Case {
    const char* name;
    std::vector<Step> script;
    int status;
    bool copied;
  };
  const std::vector<Case> cases = {
      {"Esc", {esc}, 0, false},
      {"the window manager closes it", {windowManagerCloses}, 0, false},
      {"copied", {select, copy}, 0, true},
      {"a region selected, nothing finished", {select}, kStillRunning, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlatformRig rig;
    ScriptedHost host(rig);
    host.script = c.script;
    EXPECT_EQ(app::runCapture(host, rig.platform, &rig.view, std::nullopt), c.status);
    EXPECT_EQ(rig.app.closed, c.status == 0);
    EXPECT_EQ(rig.clipboard.picture.has_value(), c.copied);
  }
}

TEST(RunCapture, AFailedEventIsToldInTheErrorBoxAndTheCaptureGoesOn) {
  PlatformRig rig;
  ScriptedHost host(rig);
  bool closedAfter = true;
  host.script = {[&](ScriptedHost& h) {
    h.send([](platform::EventSink&) { throw std::runtime_error("history broken"); });
    closedAfter = h.session->closed();
  }};
  EXPECT_EQ(app::runCapture(host, rig.platform, &rig.view, std::nullopt), kStillRunning);
  ASSERT_EQ(rig.messageBox.shown.size(), 1u);
  EXPECT_EQ(rig.messageBox.shown[0].first, std::string(texts::kErrorTitle));
  EXPECT_EQ(rig.messageBox.shown[0].second, texts::operationError("history broken"));
  EXPECT_FALSE(closedAfter);
}

}  // namespace
}  // namespace tolvane
