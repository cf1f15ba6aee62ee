// The window's child controls as Qt widgets, mirroring the logic's control
// data on every change and handing their events to the capture logic.
#pragma once

#include <QComboBox>
#include <QFont>
#include <QPainter>
#include <QWidget>

#include <functional>
#include <map>
#include <utility>

#include "platform/control_rules.h"
#include "platform/controls.h"
#include "platform/qt/capture_window.h"
#include "platform/qt/output_hosting.h"
#include "platform/qt/text_box.h"

namespace tolvane::layout { class Controls; }

namespace tolvane::platform::qt {

// A colour value as a Qt colour; system colours (high bit set) as Windows'
// classic defaults.
QColor qColor(ColorRef c);

// A control's font: its size in points at 96 dpi on `device`, its face
// first, then the CJK faces the canvas's text uses.
QFont controlFont(const ControlState& s, const QPaintDevice* device);

// Whole-pixel rectangle of a control: its edges rounded half to even, so
// the frame of SelectionFrame covers exactly the region that finishing copies.
QRect pixelRect(const ControlState& s);

// Picture boxes, images, shapes, lines and labels: painted from the state.
class ControlWidget : public QWidget {
 public:
  ControlWidget(EventRelay& relay, const ControlState& state, QWidget* parent);
  void setState(const ControlState& state);
  const ControlState& state() const { return s_; }
  // Paints, over the control, what lies in front of it without a widget.
  std::function<void(QPainter&)> paintOver;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

 private:
  void paintFromSteps(QPainter& p);
  void paintDeviceFrame(QPainter& p, double scale);
  // The event as the logic takes it: its position in the picture's pixels.
  Mouse onWindow(const QMouseEvent& e, bool press) const;
  EventRelay& relay_;
  ControlState s_;
};

// SizeList: never seen itself, only its drop-down list.
class ComboWidget : public QComboBox {
 public:
  ComboWidget(EventRelay& relay, const ControlState& state, QWidget* parent);
  void setState(const ControlState& state);
  const ControlState& state() const { return s_; }

 private:
  EventRelay& relay_;
  ControlState s_;
};

class QtControlView : public ControlView {
 public:
  explicit QtControlView(CaptureWindow& window);
  ~QtControlView() override;

  // The controls to build the widgets from (in design order).
  void attach(const layout::Controls* controls) { controls_ = controls; }
  // One window per output (the first is the view's own): a control on the
  // window lies on the window of the output that holds it.
  void setOutputs(std::vector<CaptureWindow*> windows) { outputs_ = std::move(windows); }
  // Once live, a change builds the widgets at once if they are not built yet.
  void setLive(bool live) { live_ = live; }
  // Creates every control's widget with its present state. Until then
  // changes are only recorded by the logic, which keeps start-up quick.
  void ensureBuilt();
  bool built() const { return built_; }
  QWidget* widget(CtlRef ref) const;

  // ControlView
  void changed(const ControlState& state, Prop prop) override;
  void setFocus(CtlRef ref) override;
  bool comboDropped(CtlRef ref) const override;
  void showComboDropDown(CtlRef ref, bool show) override;

 private:
  void place(QWidget* w, const ControlState& s);
  // Whether the window draws the control itself (its widget stays hidden).
  bool drawnByWindow(const ControlState& s) const;
  StackPlace stackPlace(const ControlState& s) const;
  CaptureWindow& window_;
  std::vector<CaptureWindow*> outputs_;
  OutputCopies copies_;
  std::map<std::pair<Ctl, int>, int> designOrder_;
  const layout::Controls* controls_ = nullptr;
  std::map<std::pair<Ctl, int>, QWidget*> widgets_;
  bool built_ = false;
  bool live_ = false;
};

}  // namespace tolvane::platform::qt
