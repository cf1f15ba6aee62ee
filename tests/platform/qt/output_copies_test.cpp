// Two outputs side by side, a window each: a drawn control across the seam
// shows on both windows, the copy following the control's place, caption
// and visibility, taking no input, and lying under the window's own
// controls in the design's order.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "layout/controls.h"
#include "platform/output_areas.h"
#include "platform/qt/capture_window.h"
#include "platform/qt/control_view.h"
#include "platform/qt/text_engine.h"
#include "qt_test_support.h"

namespace tolvane {
namespace {

using platform::Ctl;
using platform::qt::CaptureWindow;
using platform::qt::ControlWidget;

struct TwoOutputs {
  TwoOutputs()
      : w(QGuiApplication::primaryScreen()->geometry().width()),
        h(QGuiApplication::primaryScreen()->geometry().height()),
        surface(2 * w, h, &text, &presenters),
        view(left),
        controls(&view) {
    presenters.add(&left, {0, 0, w, h});
    presenters.add(&right, {w, 0, 2 * w, h});
    for (CaptureWindow* win : {&left, &right}) {
      win->setSurface(&surface);
      win->setScreenRect(QRect(0, 0, 2 * w, h));
      win->relay().setSink(&sink);
    }
    left.setOutput(nullptr, {0, 0, w, h});
    right.setOutput(nullptr, {w, 0, 2 * w, h});
    view.setOutputs({&left, &right});
    view.attach(&controls);
    view.ensureBuilt();
  }
  // The control's copy on `window`: a child of its name that is not the control.
  ControlWidget* copyOn(CaptureWindow& window, Ctl c) {
    const QWidget* itself = view.widget({c, -1});
    for (auto* x : window.findChildren<ControlWidget*>(QString::fromStdString(controls(c).state().name),
                                                       Qt::FindDirectChildrenOnly))
      if (x != itself) return x;
    return nullptr;
  }
  bool shownCopy(CaptureWindow& window, Ctl c) {
    const ControlWidget* x = copyOn(window, c);
    return x && !x->isHidden();
  }

  const int w, h;
  platform::qt::QtTextEngine text;
  CaptureWindow left, right;
  platform::OutputPresenters presenters;
  picture::RasterSurface surface;
  qttest::RecordingSink sink;
  platform::qt::QtControlView view;
  layout::Controls controls;
};

TEST(OutputCopies, AFrameAcrossTheSeamShowsOnBothWindowsAsItChanges) {
  TwoOutputs rig;
  auto& frame = rig.controls(Ctl::SelectionFrame);
  const struct {
    const char* what;
    float left, top;
    bool visible;
    CaptureWindow* host;     // the window of the frame itself
    CaptureWindow* copied;   // the window showing a copy; nullptr: none does
    QRect copyAt;            // the copy's place on it
  } steps[] = {
      {"left of the seam", 40, 60, true, &rig.left, nullptr, {}},
      {"across, mostly left", static_cast<float>(rig.w - 70), 20, true, &rig.left, &rig.right, {-70, 20, 100, 50}},
      {"across, mostly right", static_cast<float>(rig.w - 30), 20, true, &rig.right, &rig.left,
       {rig.w - 30, 20, 100, 50}},
      {"hidden", static_cast<float>(rig.w - 30), 20, false, &rig.right, nullptr, {}},
      {"right of the seam", static_cast<float>(rig.w + 30), 20, true, &rig.right, nullptr, {}},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.what);
    frame.move(s.left, s.top, 100, 50);
    frame.setVisible(s.visible);
    EXPECT_EQ(rig.view.widget({Ctl::SelectionFrame, -1})->parentWidget(), s.host);
    for (CaptureWindow* win : {&rig.left, &rig.right}) {
      EXPECT_EQ(rig.shownCopy(*win, Ctl::SelectionFrame), win == s.copied) << (win == &rig.left ? "left" : "right");
    }
    if (!s.copied) continue;
    const ControlWidget* copy = rig.copyOn(*s.copied, Ctl::SelectionFrame);
    EXPECT_EQ(copy->geometry(), s.copyAt);
    EXPECT_TRUE(copy->testAttribute(Qt::WA_TransparentForMouseEvents));
  }
}

// The size label's copy says what the label says; among the copies the
// design's order holds (the size label lies behind the frame), and all lie
// under the window's own controls, the toolbar among them.
TEST(OutputCopies, ALabelsCopyFollowsItsCaptionAndTheStacking) {
  TwoOutputs rig;
  auto& frame = rig.controls(Ctl::SelectionFrame);
  auto& label = rig.controls(Ctl::SizeLabel);
  auto& bar = rig.controls(Ctl::Toolbar);
  frame.move(static_cast<float>(rig.w - 30), 20, 100, 50);
  label.move(static_cast<float>(rig.w - 28), 22);
  frame.show();
  label.show();
  bar.move(static_cast<float>(rig.w - 300), 80);
  bar.show();
  label.setCaption("100x50");
  const ControlWidget* copy = rig.copyOn(rig.left, Ctl::SizeLabel);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->state().caption, "100x50");
  EXPECT_FALSE(copy->isHidden());

  const QObjectList stack = rig.left.children();  // back to front
  const auto at = [&](const QObject* o) { return stack.indexOf(const_cast<QObject*>(o)); };
  ASSERT_EQ(rig.view.widget({Ctl::Toolbar, -1})->parentWidget(), &rig.left);
  EXPECT_LT(at(copy), at(rig.copyOn(rig.left, Ctl::SelectionFrame)));
  EXPECT_LT(at(rig.copyOn(rig.left, Ctl::SelectionFrame)), at(rig.view.widget({Ctl::Toolbar, -1})));
}

}  // namespace
}  // namespace tolvane
