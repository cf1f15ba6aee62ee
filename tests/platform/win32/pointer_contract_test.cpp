// The Windows capture window driven through the shared mouse script: the
// logic gets the same calls as from the router alone and from the Qt view.
#include <gtest/gtest.h>

#include <windowsx.h>

#include "layout/controls.h"
#include "platform/pointer_script.h"
#include "platform/win32/capture_window.h"
#include "platform/win32/control_view.h"
#include "platform/win32/text_engine.h"

namespace tolvane::platform::win32 {
namespace {

using namespace pointer_script;

struct Rig {
  GdiTextEngine text;
  CaptureWindow window{0, 0, 400, 300};
  ScriptSink sink;
  WinControlView view{window.handle(), text, [this](std::function<void(EventSink&)> f) { window.send(f); }};
  layout::Controls controls{&view};
  POINT control{-1, -1};
  int held = 0;  // MK_ flags

  Rig() {
    window.attach(nullptr, &view, nullptr, &sink);
    view.attach(controls);
    controls(Ctl::Toolbar).move(10, 10);
    controls(Ctl::Toolbar).show();
    for (int y = 0; y < 300 && control.x < 0; ++y)
      for (int x = 0; x < 400 && control.x < 0; ++x)
        if (view.hitTest(x, y).ref == kControl) control = {x + 2, y + 2};
  }
  POINT at(Where w) const {
    if (w == Where::Control) return control;
    if (w == Where::OffControl) return {control.x, control.y + 60};
    return {300, 250};
  }
  void post(UINT msg, int flags, POINT p) {
    SendMessageW(window.handle(), msg, static_cast<WPARAM>(flags), MAKELPARAM(p.x, p.y));
  }
  void button(bool down, int b, POINT p) {
    const int mk = b == kLeft ? MK_LBUTTON : MK_RBUTTON;
    held = down ? held | mk : held & ~mk;
    post(b == kLeft ? (down ? WM_LBUTTONDOWN : WM_LBUTTONUP) : (down ? WM_RBUTTONDOWN : WM_RBUTTONUP), held, p);
  }
  void run(const Step& s) {
    const POINT p = at(s.where);
    switch (s.act) {
      case Act::Press: button(true, s.button, p); break;
      case Act::Release: button(false, s.button, p); break;
      case Act::Move:
        post(WM_MOUSEMOVE, (s.button & kLeft ? MK_LBUTTON : 0) | (s.button & kRight ? MK_RBUTTON : 0), p);
        break;
      case Act::DoubleClick:  // as Windows reports it: the second press is a double-click message
        button(true, kLeft, p);
        button(false, kLeft, p);
        held |= MK_LBUTTON;
        post(WM_LBUTTONDBLCLK, held, p);
        button(false, kLeft, p);
        break;
    }
  }
};

TEST(WinPointerContract, FollowsTheScript) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    Rig rig;
    ASSERT_GE(rig.control.x, 0);
    for (const Step& s : c.steps) rig.run(s);
    EXPECT_EQ(rig.sink.calls, c.calls);
  }
}

}  // namespace
}  // namespace tolvane::platform::win32
