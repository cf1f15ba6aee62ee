// The pointer router on its own: the shared mouse script, and the relay's
// handling of a failing handler.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/pointer_router.h"
#include "platform/pointer_script.h"
#include "texts/texts.h"

namespace tolvane::platform {
namespace {

using namespace pointer_script;

CtlRef overOf(Where w) { return w == Where::Control ? kControl : CtlRef{}; }

TEST(PointerRouter, FollowsTheScript) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    ScriptSink sink;
    EventRelay relay{std::string(texts::kOutOfMemory)};
    relay.setSink(&sink);
    PointerRouter router(relay);
    for (const Step& s : c.steps) {
      Mouse m;
      m.button = s.button;
      const CtlRef over = overOf(s.where);
      switch (s.act) {
        case Act::Press: router.press(over, m); break;
        case Act::Move: router.move(over, m); break;
        case Act::Release: router.release(over, m); break;
        case Act::DoubleClick:
          router.press(over, m);
          router.release(over, m);
          router.doubleClick(over, m);
          router.release(over, m);
          break;
      }
    }
    EXPECT_EQ(sink.calls, c.calls);
    EXPECT_FALSE(router.capturing());
  }
}

TEST(PointerRouter, KeepsThePointerUntilEveryButtonIsUp) {
  ScriptSink sink;
  EventRelay relay{std::string(texts::kOutOfMemory)};
  relay.setSink(&sink);
  PointerRouter router(relay);
  Mouse left, right;
  left.button = kLeft;
  right.button = kRight;
  router.press(kControl, left);
  router.press({}, right);  // a second button on the window: still the control's
  router.release({}, left);
  EXPECT_TRUE(router.capturing());
  router.release({}, right);
  EXPECT_FALSE(router.capturing());
  EXPECT_EQ(sink.calls, (std::vector<std::string>{"down Tool 1", "down Tool 2", "up Tool 1", "up Tool 2"}));
}

TEST(PointerRouter, AMoveWithNoButtonHeldEndsALostCapture) {
  ScriptSink sink;
  EventRelay relay{std::string(texts::kOutOfMemory)};
  relay.setSink(&sink);
  PointerRouter router(relay);
  Mouse m;
  m.button = kLeft;
  router.press(kControl, m);  // its release went elsewhere
  router.move({}, Mouse{});
  EXPECT_FALSE(router.capturing());
  EXPECT_EQ(sink.calls.back(), "move Window 0");
}

struct Throwing : ScriptSink {
  std::exception_ptr error;
  void dblClick(CtlRef) override { std::rethrow_exception(error); }
};

TEST(EventRelay, TellsWhatAFailingHandlerRaisedAndGoesOn) {
  const struct {
    std::exception_ptr error;
    std::string told;
  } rows[] = {{std::make_exception_ptr(std::bad_alloc()), "内存不足"},
              {std::make_exception_ptr(std::runtime_error("disk full")), "disk full"}};
  for (const auto& row : rows) {
    Throwing sink;
    sink.error = row.error;
    EventRelay relay{std::string(texts::kOutOfMemory)};
    relay.setSink(&sink);
    std::vector<std::string> told;
    relay.onFailure = [&](const std::string& what) { told.push_back(what); };
    relay.send([](EventSink& s) { s.dblClick({}); });
    relay.send([](EventSink& s) { s.click({}); });
    EXPECT_EQ(told, std::vector<std::string>{row.told});
    EXPECT_EQ(sink.calls, std::vector<std::string>{"click Window"});
  }
}

}  // namespace
}  // namespace tolvane::platform
