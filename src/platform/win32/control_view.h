// The window's controls on Windows: painted with GDI over the canvas, except
// the text boxes and the combo box, which are child EDIT and COMBOBOX windows.
#pragma once

#include "platform/win32/win.h"

#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/controls.h"
#include "platform/events.h"

namespace tolvane::layout {
class Controls;
}

namespace tolvane::platform::win32 {

class GdiTextEngine;
class WinComboBox;
class WinToolTips;

// Where a point lands: the control and the point in its own coordinates.
struct Hit {
  CtlRef ref;
  float x = 0, y = 0;
};

class WinControlView : public ControlView {
 public:
  // `send` hands one event to the logic.
  WinControlView(HWND window, const GdiTextEngine& text, std::function<void(std::function<void(EventSink&)>)> send);
  ~WinControlView() override;
  WinControlView(const WinControlView&) = delete;
  WinControlView& operator=(const WinControlView&) = delete;

  // Takes every control as it is now, in design order, which also decides
  // which lies in front; controls the logic never changes are known too.
  void attach(const layout::Controls& controls);

  void changed(const ControlState& state, Prop prop) override;
  void setFocus(CtlRef ref) override;
  bool comboDropped(CtlRef ref) const override;
  void showComboDropDown(CtlRef ref, bool show) override;

  // Draws every visible painted control into `dc`, whose origin is the window's.
  void paint(HDC dc) const;
  // The topmost visible control under window point (x, y); the window itself when none.
  Hit hitTest(int x, int y) const;
  // The text box that holds the keyboard; Ctl::Window when none does.
  CtlRef focus() const;
  // A text box child sent EN_CHANGE.
  void editChanged(HWND edit);
  // A child control sent the window WM_COMMAND with this notification code.
  void command(int code, HWND from);
  // WM_CTLCOLOREDIT: a text box's text in its control's colour on white, as
  // the Qt view shows it; the brush for its background, or nullptr when
  // `edit` is not one of ours.
  HBRUSH editColors(HWND edit, HDC dc) const;
  // A key for an open drop-down list goes to it; returns whether one took it.
  bool comboKey(WPARAM vk);

 private:
  using Key = std::pair<int, int>;
  static Key keyOf(CtlRef r) { return {static_cast<int>(r.ctl), r.index}; }
  RECT windowRect(const ControlState& s) const;  // in window pixels, parents added
  bool shown(const ControlState& s) const;       // it and every parent visible
  // The font of a child window at `points`, kept while the view lives.
  HFONT childFont(float points);
  void mirrorEdit(const ControlState& s);
  void followParent(CtlRef moved);
  void mirrorCombo(const ControlState& s);
  void mirrorTip(const ControlState& s);
  // The controls on `parent`, front to back.
  std::vector<const ControlState*> childrenOf(CtlRef parent) const;
  void paintChildren(HDC dc, CtlRef parent, const RECT& clip) const;
  bool hitChildren(CtlRef parent, const RECT& clip, POINT p, Hit& hit) const;
  void paintOne(HDC dc, const ControlState& s) const;
  void paintCaption(HDC dc, const ControlState& s, RECT box, Argb color) const;

  HWND window_;
  const GdiTextEngine& text_;
  std::function<void(std::function<void(EventSink&)>)> send_;
  std::map<Key, ControlState> states_;
  std::map<Key, HWND> edits_;
  std::map<Key, std::unique_ptr<WinComboBox>> combos_;
  std::unique_ptr<WinToolTips> tips_;
  std::map<float, HFONT> fonts_;
  std::map<Key, int> order_;  // design order; a control first met in a change comes last
  bool fromModel_ = false;
};

}  // namespace tolvane::platform::win32
