// Which of the controls around the region show, after each thing the user
// does: the frame, the two labels, the handles, the toolbar, the style panel.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fake/fake_platform.h"

namespace tolvane {
namespace {

using fake::Rig;
using platform::Ctl;

// The shown controls by name, in a fixed order; the handles only when all
// eight agree, "handles?" when they do not.
std::string shown(Rig& r) {
  std::string out;
  const auto add = [&out](bool on, const char* name) {
    if (on) out += std::string(out.empty() ? "" : " ") + name;
  };
  add(r.ctl(Ctl::SelectionFrame).visible(), "frame");
  const bool size = r.ctl(Ctl::SizeLabel).visible(), colour = r.ctl(Ctl::ColorLabel).visible();
  add(size && colour, "labels");
  add(size != colour, "labels?");
  int handles = 0;
  for (int i = 0; i < 8; ++i) handles += r.ctl(Ctl::Handle, i).visible() ? 1 : 0;
  add(handles == 8, "handles");
  add(handles != 0 && handles != 8, "handles?");
  add(r.ctl(Ctl::Toolbar).visible(), "toolbar");
  add(r.ctl(Ctl::StylePanel).visible(), "panel");
  return out;
}

TEST(Chrome, FollowsWhatTheUserDoes) {
  struct Case {
    const char* what;
    std::function<void(Rig&)> run;
    const char* expected;
  };
  const auto press = [](Rig& r) { r.form.mouseDown({Ctl::Handle, 6}, {1, 0, 1, 1}); };
  const std::vector<Case> cases = {
      {"start", [](Rig&) {}, ""},
      {"a band being drawn", [](Rig& r) { r.down(20, 20); r.move(90, 70); }, "frame labels handles"},
      {"a region made", [](Rig& r) { r.drag(20, 20, 90, 70); }, "frame labels handles toolbar"},
      {"a tool chosen", [](Rig& r) { r.drag(20, 20, 90, 70); r.clickTool(7); }, "frame labels handles toolbar panel"},
      {"a handle held", [&](Rig& r) { r.drag(20, 20, 90, 70); r.clickTool(7); press(r); }, "frame labels handles"},
      {"a handle let go",
       [&](Rig& r) {
         r.drag(20, 20, 90, 70);
         press(r);
         r.form.mouseUp({Ctl::Handle, 6}, {1, 0, 1, 1});
       },
       "frame labels handles toolbar"},
      {"moved by the keyboard",
       [](Rig& r) {
         r.drag(20, 20, 90, 70);
         r.clickTool(7);
         r.key(fake::keyOf(platform::KeyCode::Left));
       },
       "frame labels handles toolbar"},
      {"a press outside: cancelled", [](Rig& r) { r.drag(20, 20, 90, 70); r.down(200, 200); }, ""},
      {"undo with nothing drawn: back to selecting",
       [](Rig& r) {
         r.drag(20, 20, 90, 70);
         r.clickTool(7);
         r.clickTool(0);
       },
       ""},
      {"copying an empty region: nothing taken, it stays", [](Rig& r) { r.down(50, 50); r.up(50, 50); r.clickTool(1); },
       "frame toolbar"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig(320, 240);
    ASSERT_TRUE(rig.start());
    c.run(rig);
    EXPECT_EQ(shown(rig), c.expected);
    EXPECT_FALSE(rig.app.closed);
  }
}

// While the save dialog asks, the window's picture is taken already: the
// save button brings back the toolbar, the frame and the style panel as they
// were; a double click leaves them hidden. The labels and handles stay away.
TEST(Chrome, WhileTheSaveDialogAsks) {
  struct Case {
    const char* what;
    bool toolChosen;
    std::function<void(Rig&)> finish;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"save button", false, [](Rig& r) { r.clickTool(2); }, "frame toolbar"},
      {"save button, style panel shown", true, [](Rig& r) { r.clickTool(2); }, "frame toolbar panel"},
      {"Ctrl+S", false, [](Rig& r) { r.key(fake::ctrlKey('s')); }, "frame toolbar"},
      {"double click", false,
       [](Rig& r) {
         r.down(60, 50);
         r.up(60, 50);
         r.form.dblClick({Ctl::Window, -1});
       },
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig(320, 240);
    ASSERT_TRUE(rig.start());
    rig.drag(40, 30, 140, 90);
    if (c.toolChosen) rig.clickTool(7);
    std::string whileAsked = "not asked";
    rig.dialog.whileOpen = [&] { whileAsked = shown(rig); };
    c.finish(rig);
    EXPECT_EQ(whileAsked, c.expected);
    EXPECT_TRUE(rig.app.closed);
  }
}

}  // namespace
}  // namespace tolvane
