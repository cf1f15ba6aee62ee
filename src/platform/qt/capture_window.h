// The capture window: one borderless top-level widget over the whole screen
// (on Wayland, one per output) that shows the in-memory canvas and hands the
// window's own mouse and key events to the capture logic. What the window
// system adds (window_handling.h) is attached to it.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QRegion>
#include <QScreen>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "picture/raster_surface.h"
#include "platform/control_rules.h"
#include "platform/events.h"
#include "platform/pointer_router.h"
#include "platform/qt/input_map.h"
#include "platform/qt/window_handling.h"
#include "texts/texts.h"

namespace tolvane::platform::qt {

class WindowPixels;

// The shared relay, with the router of the mouse events that the window and
// its controls send through it.
class EventRelay : public platform::EventRelay {
 public:
  EventRelay() : platform::EventRelay(std::string(texts::kOutOfMemory)) {}
  EventRelay(const EventRelay&) = delete;
  EventRelay& operator=(const EventRelay&) = delete;
  PointerRouter& pointer() { return pointer_; }

 private:
  PointerRouter pointer_{*this};
};

class CaptureWindow : public QWidget, public picture::Presenter {
  Q_OBJECT

 public:
  explicit CaptureWindow(QWidget* parent = nullptr);
  ~CaptureWindow() override;

  // The window system's handling, before the window is first shown; the
  // plain one until then.
  void attach(std::unique_ptr<WindowHandling> handling);
  WindowHandling& handling() { return *handling_; }

  void setSurface(picture::RasterSurface* surface);
  picture::RasterSurface* surface() const { return surface_; }
  EventRelay& relay() { return relay_; }
  // The mouse event `e`, at `onWindow` in this window's logical pixels, with
  // its position in the picture's pixels: what the logic gets, whichever
  // control on the window the event went to.
  Mouse inPicture(const QMouseEvent& e, QPointF onWindow, Mouse m) const;

  // The area the window covers when shown, in screen (device) pixels.
  void setScreenRect(const QRect& r) { screenRect_ = r; }
  QRect screenRect() const { return screenRect_; }
  // Where the window system places windows itself (Wayland): the output the
  // window covers, and that output's area in the picture (device pixels).
  // The window shows that part of the canvas and reports its events in the
  // picture's pixels. Unset, it covers the output at the layout's top-left
  // corner and the picture starts there.
  void setOutput(QScreen* output, const IRect& area);
  IRect outputArea() const { return outputArea_; }
  QScreen* output() const { return output_; }
  // Device pixels per logical pixel: the desktop's scale, 1 on a plain screen.
  double scale() const;

  // Shows the window over the whole screen (on one output where the window
  // system places windows) and takes the keyboard.
  void present();
  // Hides it and lets the keyboard go; returns once the window system has
  // taken it off the screen, where it tells.
  void dismiss();

  // A left drag begun on the start-up window, still held: the window takes
  // the pointer until the button comes up, so that the drag goes on here
  // although the window never saw the press.
  void continueDrag();

  // Where dialogs open: the region, in the screen's device pixels; empty
  // when there is none (the monitor under the pointer is taken then).
  std::function<IRect()> dialogArea;
  // The monitor that holds the region (or the pointer).
  QScreen* dialogScreen() const;

  // Presenter
  void invalidate(const IRect& area) override;
  void flush() override;

  // Back-less shapes on the window (the region's frame), each as `s` at its
  // stacking `place`. Where the window paints directly it draws their lines
  // into the picture it composes and keeps `widget` (the shape as Qt paints
  // it) hidden: Qt repaints all the area a widget covers through its
  // backing store, whose pages under a large region would all be written.
  void showShape(QWidget* widget, const ControlState& s, const StackPlace& place);
  // With `p`, the painter of `child`, a control on the window at stacking
  // `place`: the lines of those shapes that lie in front of it.
  void paintShapesOver(QPainter& p, const QWidget& child, const StackPlace& place) const;

  // Called once, after the first paint has been handed to the window system.
  std::function<void()> onFirstPaint;
  // The window manager asked to close the window.
  std::function<void()> onCloseRequested;

  static constexpr int kStripRows = 128;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;
  bool event(QEvent* e) override;
  // Qt repaints a whole window that takes or loses the focus; this one
  // looks the same either way.
  void focusInEvent(QFocusEvent*) override {}
  void focusOutEvent(QFocusEvent*) override {}
  void hideEvent(QHideEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void coverScreenRect();
  void presentFullScreen();
  void endCarriedDrag(const QPointF& at);
  // The event's position, m's in logical pixels, in device pixels.
  Mouse inDevicePixels(const QMouseEvent& e, Mouse m) const;
  // A position of this window (device pixels) in the picture's pixels.
  Mouse inPicture(Mouse m) const;
  void firstFrameShown();

  // On X11 the picture goes straight to the window (capture_window_paint.cpp):
  // only where controls lie does Qt paint it, with them, into its backing
  // store, whose other pages stay untouched.
  void startDirectPainting();
  bool directExpose();
  // An expose of a window whose buffers still hold all it showed: a frame
  // is committed without the whole window being painted again.
  bool keptExpose();
  bool buffersHoldAll() const;
  void requestFrame();
  bool framePaced() const;
  bool pacedFrame();
  bool pacedPaint_ = false;
  QSize paintedWhole_;  // device pixels; empty until all of it is painted
  bool directUpdate();
  void queueDirect(const IRect& area);
  void paintDirect();
  void putArea(const IRect& area);
  // The shapes the window draws, on `pixels` lying at `at` (device pixels).
  void addShapes(Image& pixels, const IRect& at) const;
  struct DrawnShape {
    QPointer<QWidget> widget;
    ControlState state;
    StackPlace place;
  };
  void queueShape(const DrawnShape& shape);
  std::vector<DrawnShape> shapes_;  // back to front
  std::unique_ptr<DirectPixels> direct_;
  std::vector<IRect> directPending_;
  bool directPaintPosted_ = false;
  bool forwardingExpose_ = false;

  std::unique_ptr<WindowHandling> handling_ = std::make_unique<WindowHandling>();
  double scale_ = 1.0;
  bool keptOnHome_ = false;
  bool onOutput_ = false;  // full screen on one output
  QPointer<QScreen> output_;
  IRect outputArea_;

  picture::RasterSurface* surface_ = nullptr;
  EventRelay relay_;
  QRect screenRect_;
  QRegion pending_;
  bool firstPaintDone_ = false;
  bool shownAsAsked() const;
  QTimer fullScreenWait_;
  bool fullScreenWatched_ = false, fullScreenWaited_ = false;
  static constexpr int kFullScreenPatienceMs = 500;
  bool keyFilterInstalled_ = false;
  bool carriedDrag_ = false;
};

}  // namespace tolvane::platform::qt
