// The window's controls on Windows: painted with GDI over the canvas, except
// the text boxes, which are child EDIT windows.
#pragma once

#include "platform/win32/win.h"

#include <functional>
#include <map>
#include <utility>

#include "platform/controls.h"
#include "platform/events.h"

namespace tolvane::platform::win32 {

class GdiTextEngine;

// Where a point lands: the control and the point in its own coordinates.
struct Hit {
  CtlRef ref;
  float x = 0, y = 0;
};

class WinControlView : public ControlView {
 public:
  // `send` hands one event to the logic.
  WinControlView(HWND window, const GdiTextEngine& text, std::function<void(std::function<void(EventSink&)>)> send);

  void changed(const ControlState& state, Prop prop) override;
  void setFocus(CtlRef ref) override;
  bool comboDropped(CtlRef) const override { return false; }
  void showComboDropDown(CtlRef, bool) override {}

  // Draws every visible painted control into `dc`, whose origin is the window's.
  void paint(HDC dc) const;
  // The topmost visible control under window point (x, y); the window itself when none.
  Hit hitTest(int x, int y) const;
  // The text box that holds the keyboard; Ctl::Window when none does.
  CtlRef focus() const;
  // A text box child sent EN_CHANGE.
  void editChanged(HWND edit);

 private:
  using Key = std::pair<int, int>;
  static Key keyOf(CtlRef r) { return {static_cast<int>(r.ctl), r.index}; }
  RECT windowRect(const ControlState& s) const;  // in window pixels, parents added
  bool shown(const ControlState& s) const;       // it and every parent visible
  void mirrorEdit(const ControlState& s);
  void paintOne(HDC dc, const ControlState& s) const;

  HWND window_;
  const GdiTextEngine& text_;
  std::function<void(std::function<void(EventSink&)>)> send_;
  std::map<Key, ControlState> states_;
  std::map<Key, HWND> edits_;
  std::map<Key, int> order_;  // first change first: later controls lie on top
  bool fromModel_ = false;
};

}  // namespace tolvane::platform::win32
