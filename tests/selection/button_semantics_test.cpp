// What each mouse button does on a region: left, right and middle, single and
// double clicks, inside and outside the region, with and without a tool.
#include <gtest/gtest.h>

#include <string>

#include "fake/fake_platform.h"

namespace tolvane {
namespace {

using fake::Rig;
using platform::Ctl;

enum class Where { Inside, Outside };
enum class Clicks { Single, Double };

struct Case {
  int button;
  Clicks clicks;
  Where where;
  bool tool;        // the rectangle tool is chosen
  bool ends;        // the capture ends
  bool copies;      // the region reaches the clipboard (and the save dialog is offered)
  bool keepsRegion; // the region is still selected and framed afterwards
  int steps;        // history index afterwards: 2 when a stroke was recorded
};

std::string name(const Case& c) {
  const char* b = c.button == 1 ? "left" : c.button == 2 ? "right" : "middle";
  return std::string(b) + (c.clicks == Clicks::Double ? " double" : " single") +
         (c.where == Where::Inside ? " inside" : " outside") + (c.tool ? " with a tool" : " without a tool");
}

// A click as the window system delivers it: a left double click is press,
// release, double click, release; any other button's double click is two
// plain clicks.
void click(Rig& rig, const Case& c, float x, float y) {
  rig.down(x, y, c.button);
  rig.up(x, y, c.button);
  if (c.clicks == Clicks::Single || rig.app.closed) return;
  if (c.button == platform::kLeft)
    rig.form.dblClick({Ctl::Window, -1});
  else
    rig.down(x, y, c.button);
  rig.up(x, y, c.button);
}

constexpr int L = 1, R = 2, M = 4;
constexpr auto S = Clicks::Single, D = Clicks::Double;
constexpr auto In = Where::Inside, Out = Where::Outside;
// Until a right click has cancelled something, the release of any button
// but the left ends the capture; a cancel arms one more right click.
const Case kCases[] = {
    // button clicks where tool    ends   copies keeps  steps
    {L, S, In, false, false, false, true, 1},
    {L, S, Out, false, false, false, false, 1},  // cancels; a new zero-size region
    {L, D, In, false, true, true, false, 1},
    {L, D, Out, false, false, false, false, 1},  // never an empty capture
    {R, S, In, false, false, false, false, 1},   // cancels
    {R, S, Out, false, false, false, false, 1},  // cancels
    {R, D, In, false, true, false, false, 1},    // cancels, then ends
    {R, D, Out, false, true, false, false, 1},
    {M, S, In, false, true, false, true, 1},
    {M, S, Out, false, false, false, false, 1},  // cancels
    {M, D, In, false, true, false, true, 1},
    {M, D, Out, false, false, false, false, 1},
    {L, S, In, true, false, false, true, 2},  // a zero-size rectangle is recorded
    {L, S, Out, true, false, false, true, 1},
    {L, D, In, true, true, true, false, 2},
    {L, D, Out, true, true, true, false, 1},  // the last press inside the region counts
    {R, S, In, true, true, false, true, 2},  // drawn and recorded, then ends
    {R, S, Out, true, true, false, true, 1},
    {R, D, In, true, true, false, true, 2},
    {R, D, Out, true, true, false, true, 1},
    {M, S, In, true, true, false, true, 2},
    {M, S, Out, true, true, false, true, 1},
    {M, D, In, true, true, false, true, 2},
    {M, D, Out, true, true, false, true, 1},
};

TEST(ButtonSemantics, EachButtonClickAndPlace) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(name(c));
    Rig rig(320, 240);
    ASSERT_TRUE(rig.start());
    rig.drag(40, 30, 200, 150);
    // A left click inside first, as people do before they finish: it leaves
    // a press point inside the region behind.
    rig.down(100, 100);
    rig.up(100, 100);
    if (c.tool) rig.clickTool(7);
    const float x = c.where == Where::Inside ? 120.f : 280.f, y = c.where == Where::Inside ? 90.f : 200.f;
    click(rig, c, x, y);

    EXPECT_EQ(rig.app.closed, c.ends);
    EXPECT_EQ(rig.clipboard.picture.has_value(), c.copies);
    EXPECT_EQ(rig.dialog.request.has_value(), c.copies);
    if (c.copies) {
      EXPECT_EQ(rig.clipboard.picture->width(), 160);
    }
    if (!c.ends) {
      const auto& frame = rig.ctl(Ctl::SelectionFrame);
      const bool kept = frame.visible() && frame.left() == 40 && frame.top() == 30 && frame.width() == 160 &&
                        frame.height() == 120;
      EXPECT_EQ(kept, c.keepsRegion);
    }
    EXPECT_EQ(rig.form.history().index(), c.steps);
  }
}

}  // namespace
}  // namespace tolvane
