// The capture window: one borderless top-level widget over the whole X
// screen that shows the in-memory canvas and hands the window's own mouse
// and key events to the capture logic.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/events.h"
#include "platform/pointer_router.h"
#include "texts/texts.h"
#include "platform/qt/input_map.h"
#include "platform/qt/qt_x11.h"
#include "platform/raster_surface.h"

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

class CaptureWindow : public QWidget, public Presenter, private QAbstractNativeEventFilter {
  Q_OBJECT

 public:
  explicit CaptureWindow(QWidget* parent = nullptr);
  ~CaptureWindow() override;

  void setSurface(RasterSurface* surface);
  RasterSurface* surface() const { return surface_; }
  EventRelay& relay() { return relay_; }
  // The mouse event `e`, at `onWindow` in this window's logical pixels, with
  // its position in the picture's pixels: what the logic gets, whichever
  // control on the window the event went to.
  Mouse inPicture(const QMouseEvent& e, QPointF onWindow, Mouse m) const;

  // The area the window covers when shown, in screen (device) pixels.
  void setScreenRect(const QRect& r) { screenRect_ = r; }
  QRect screenRect() const { return screenRect_; }
  // On Wayland: the output the window covers, and that output's area in the
  // picture (device pixels). The window shows that part of the canvas and
  // reports its events in the picture's pixels. Unset, it covers the
  // output at the layout's top-left corner and the picture starts there.
  void setOutput(QScreen* output, const IRect& area);
  IRect outputArea() const { return outputArea_; }
  QScreen* output() const { return output_; }
  // Device pixels per logical pixel: the desktop's scale, 1 on a plain screen.
  double scale() const;

  // Shows the window over the whole screen and takes the keyboard.
  void present();
  // Hides it and lets the keyboard go; returns once the X server has taken
  // it off the screen, so that work after it happens out of sight.
  void dismiss();

  // A left drag begun on the start-up window, still held: the window takes
  // the pointer until the button comes up, so that the drag goes on here
  // although the window never saw the press.
  void continueDrag();

  // While a dialog runs the keyboard grab must not hold its keys.
  void suspendKeyboardGrab();
  void resumeKeyboardGrab();
  bool keyboardGrabbed() const { return keyboardGrabbed_; }

  // Puts the window back above any other client's ordinary window that
  // covers part of it (a panel that raises itself). Pop-ups, tooltips and
  // input-method windows (override-redirect, like this one) stay above it,
  // and so do our own. While a dialog of ours runs, the window goes just
  // under the dialog's frame instead, since a window manager stacks its
  // frames below override-redirect windows. True when it restacked the window.
  bool stayOnTop();

  // Where dialogs open: the region, in the screen's device pixels; empty
  // when there is none (the monitor under the pointer is taken then).
  std::function<IRect()> dialogArea;
  // The monitor that holds the region (or the pointer).
  QScreen* dialogScreen() const;
  // Whether a compositing manager draws the desktop. Some (mutter) draw
  // every override-redirect window above every window they manage, so a
  // dialog they frame would stay under this window whatever its stacking.
  bool compositedDesktop() const;

  // Presenter
  void invalidate(const IRect& area) override;
  void flush() override;

  // Called once, after the first paint has been handed to the window system.
  std::function<void()> onFirstPaint;
  // The window manager asked to close the window.
  std::function<void()> onCloseRequested;

  static constexpr int kStripRows = 128;
  // Keyboard grabs tried 50 ms apart while another client (a hot-key daemon,
  // a window manager busy with the last focus change) still holds it.
  static constexpr int kGrabAttempts = 40;

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
  bool eventFilter(QObject* watched, QEvent* e) override;
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

 private:
  void presentFullScreen();  // on Wayland
  // A compositor may show a full-screen override-redirect window directly,
  // past its compositing (mutter does), which hides whatever it composites
  // above it, our dialogs included: it is asked not to.
  void keepComposited();
  void tryKeyboardGrab(int attemptsLeft);
  void ungrabKeyboard();
  void endCarriedDrag(const QPointF& at);
  // The event's position, m's in logical pixels, in device pixels.
  Mouse inDevicePixels(const QMouseEvent& e, Mouse m) const;
  // A position of this window (device pixels) in the picture's pixels.
  Mouse inPicture(Mouse m) const;
  void notePointer(const void* xcbEvent);  // an xcb_generic_event_t
  void firstFrameShown();

  // On X11 the picture goes straight to the window (capture_window_paint.cpp):
  // only where controls lie does Qt paint it, with them, into its backing
  // store, whose other pages stay untouched.
  void startDirectPainting();
  bool directExpose();
  bool directUpdate();
  void queueDirect(const IRect& area);
  void paintDirect();
  void putArea(const IRect& area);
  std::unique_ptr<WindowPixels> direct_;
  std::vector<IRect> directPending_;
  bool directPaintPosted_ = false;
  bool forwardingExpose_ = false;

  // Pointer events as X reported them, newest last, at a scale other than 1.
  struct PointerAt {
    std::uint32_t time = 0;
    double x = 0, y = 0;  // root position, device pixels
  };
  std::array<PointerAt, 32> recent_{};
  std::size_t recentNext_ = 0;
  int xiOpcode_ = -1;
  double scale_ = 1.0;
  bool keptOnHome_ = false;
  bool onOutput_ = false;  // full screen on one Wayland output
  QPointer<QScreen> output_;
  IRect outputArea_;

  RasterSurface* surface_ = nullptr;
  EventRelay relay_;
  QRect screenRect_;
  QRegion pending_;
  bool firstPaintDone_ = false;
  bool keyFilterInstalled_ = false;
  bool keyboardGrabbed_ = false;
  bool carriedDrag_ = false;
  bool wantKeyboardGrab_ = false;
  bool watchingStack_ = false;
  bool stackCheckPending_ = false;
  std::uint32_t root_ = 0;
  bool dialogOpen_ = false;
  int restacks_ = 0;
  int underDialogRestacks_ = 0;
  bool stayUnderDialog(xcb_connection_t* c, std::uint32_t self);
  // A window manager that raises its panel on every restack of ours would
  // otherwise start a tug of war.
  static constexpr int kMaxRestacks = 20;
};

}  // namespace tolvane::platform::qt
