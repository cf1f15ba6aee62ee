// One mouse script for every view: the steps a user makes on the capture
// window and on a control, and the calls the logic must get for them. The
// router's own test and each view's test drive the same table, so a view
// that routes differently fails the same case.
#pragma once

#include <string>
#include <vector>

#include "platform/events.h"

namespace tolvane::pointer_script {

enum class Act { Press, Move, Release, DoubleClick };  // DoubleClick: press, release, press, release, quickly
enum class Where { Window, Control, OffControl };      // OffControl: beside the control, on the window

struct Step {
  Act act;
  int button;  // Move: the buttons held
  Where where;
};

struct Case {
  const char* name;
  std::vector<Step> steps;
  std::vector<std::string> calls;
};

// The control the script presses: a toolbar button.
inline constexpr platform::CtlRef kControl{platform::Ctl::ToolButton, 7};

inline std::string nameOf(platform::CtlRef r) {
  if (r.ctl == platform::Ctl::Window) return "Window";
  if (r == kControl) return "Tool";
  return "other(" + std::to_string(static_cast<int>(r.ctl)) + "," + std::to_string(r.index) + ")";
}

// What the logic got, one line per call.
struct ScriptSink : platform::EventSink {
  std::vector<std::string> calls;
  void mouseDown(platform::CtlRef t, const platform::Mouse& m) override { add("down", t, m.button); }
  void mouseMove(platform::CtlRef t, const platform::Mouse& m) override { add("move", t, m.button); }
  void mouseUp(platform::CtlRef t, const platform::Mouse& m) override { add("up", t, m.button); }
  void dblClick(platform::CtlRef t) override { calls.push_back("dblclick " + nameOf(t)); }
  void click(platform::CtlRef t) override { calls.push_back("click " + nameOf(t)); }
  void textChanged(platform::CtlRef, const std::string&) override {}
  bool keyDown(platform::CtlRef, const platform::Key&) override { return false; }

 private:
  void add(const char* what, platform::CtlRef t, int button) {
    calls.push_back(std::string(what) + " " + nameOf(t) + " " + std::to_string(button));
  }
};

inline constexpr int L = platform::kLeft, R = platform::kRight;
using A = Act;
using W = Where;

inline const std::vector<Case>& cases() {
  static const std::vector<Case> all = {
      {"DragOnTheWindow",
       {{A::Press, L, W::Window}, {A::Move, L, W::Control}, {A::Release, L, W::Control}},
       {"down Window 1", "move Window 1", "up Window 1"}},
      {"DoubleClickOnTheWindow",
       {{A::DoubleClick, L, W::Window}},
       {"down Window 1", "up Window 1", "dblclick Window", "up Window 1"}},
      {"ClickOnAControl",
       {{A::Press, L, W::Control}, {A::Release, L, W::Control}},
       {"down Tool 1", "up Tool 1", "click Tool"}},
      {"DoubleClickOnAControlClicksOnce",
       {{A::DoubleClick, L, W::Control}},
       {"down Tool 1", "up Tool 1", "click Tool", "dblclick Tool", "up Tool 1"}},
      {"ReleasedOffTheControlIsNoClick",
       {{A::Press, L, W::Control}, {A::Move, L, W::OffControl}, {A::Release, L, W::OffControl}},
       {"down Tool 1", "move Tool 1", "up Tool 1"}},
      {"RightButtonPressesButNeverClicks",
       {{A::Press, R, W::Control}, {A::Release, R, W::Control}},
       {"down Tool 2", "up Tool 2"}},
      {"HoverGoesToWhatIsUnderThePointer",
       {{A::Move, 0, W::Control}, {A::Move, 0, W::Window}},
       {"move Tool 0", "move Window 0"}},
  };
  return all;
}

}  // namespace tolvane::pointer_script
