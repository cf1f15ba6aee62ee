// Controls on the capture window when there is one window per output.
#pragma once

#include <QRect>
#include <QWidget>

#include <map>
#include <utility>
#include <vector>

#include "platform/controls.h"
#include "platform/qt/capture_window.h"

namespace tolvane::platform::qt {

class ControlWidget;

// Puts `w`, a control on the window, on the window of the output that holds
// `device` (its place in the picture's pixels), keeping it shown when
// `visible`; its place `logical` (on the whole desktop, logical pixels at
// `scale`) against that window's corner.
QRect hostOnOutput(const std::vector<CaptureWindow*>& windows, QWidget* w, const QRect& device, const QRect& logical,
                   double scale, bool visible);

// Copies of the drawn controls on the window (the region's frame, its
// labels, the handles) on the windows of the other outputs they reach, so
// that a control across outputs shows whole on each, as it changes. The
// copies draw the same state and take no input: the mouse reaches the
// window under them, and the control itself has its own events.
class OutputCopies {
 public:
  // Whether a control of this kind gets copies.
  static bool copied(Kind kind) { return kind == Kind::Shape || kind == Kind::Label || kind == Kind::Image; }

  // After `s` was placed on `host`: a copy on each other window its place
  // `device` reaches, at `logical` against that window's corner. `order`:
  // the control's place in the design, earlier ones in front.
  void place(const std::vector<CaptureWindow*>& windows, const QWidget* host, EventRelay& relay,
             const ControlState& s, const QRect& device, const QRect& logical, double scale, int order);
  // The control's new caption, colours or visibility to its copies.
  void update(const ControlState& s);

 private:
  struct Copy {
    ControlWidget* widget = nullptr;
    bool reaches = false;  // the control reaches this copy's output
    int order = 0;
  };
  void restack(const QWidget* window) const;
  std::map<std::pair<Ctl, int>, std::vector<Copy>> copies_;  // one per window, in the windows' order
};

}  // namespace tolvane::platform::qt
