// The capture stage: Qt, the real platform and the session, around a screen
// the first stage has already read (see app/capture_stage.h).
#include "app/capture_stage.h"

#include <QApplication>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/display_choice.h"
#include "app/raw_output.h"
#include "app/run_capture.h"
#include "app/save_path.h"
#include "app/stage_ends.h"
#include "platform/codecs/encoders.h"
#include "platform/posix/process_start.h"
#include "platform/qt/capture_window.h"
#include "platform/qt/clipboard.h"
#include "platform/qt/control_view.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/kwin_screen.h"
#include "platform/qt/output_windows.h"
#include "platform/qt/portal_screen.h"
#include "platform/qt/qt_screen.h"
#include "platform/qt/signal_watch.h"
#include "platform/qt/system.h"
#include "platform/qt/text_engine.h"
#include "platform/qt/wayland_buffers.h"
#include "session/capture_session.h"

namespace pq = tolvane::platform::qt;
namespace cli = tolvane::app;

namespace {

// The interface follows the desktop's scale: Qt takes it from Xft.dpi and
// QT_SCALE_FACTOR. The window spans every monitor, so they share one
// scale; a scale per monitor is not taken. Xft.dpi rounds to a whole
// scale (144 dpi gives 2), which keeps controls on whole device pixels.
void followDesktopScale() {
  unsetenv("QT_SCREEN_SCALE_FACTORS");
  unsetenv("QT_AUTO_SCREEN_SCALE_FACTOR");
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
}

// One way to the desktop's screen: the screen once it has read the
// desktop, else nullptr, and why is added to `why`.
template <class DesktopScreen>
std::unique_ptr<tolvane::platform::Screen> readThrough(std::string& why) {
  auto screen = std::make_unique<DesktopScreen>();
  if (const auto& read = screen->readNow(); !read.ok()) {
    why += (why.empty() ? "" : "; ") + read.failure->description;
    return nullptr;
  }
  return screen;
}

// The desktop's screen, on a Wayland desktop without wlr-screencopy: KWin's
// own interface, else the Screenshot portal (see cli::desktopRoutes).
// nullptr when the desktop gave none: nothing is shown.
std::unique_ptr<tolvane::platform::Screen> desktopScreen() {
  std::string why;
  for (const cli::DesktopRoute route :
       cli::desktopRoutes(std::getenv("TOLVANE_SCREEN_ROUTE"), pq::KWinScreen::offered())) {
    auto screen = route == cli::DesktopRoute::KWin ? readThrough<pq::KWinScreen>(why)
                                                   : readThrough<pq::PortalScreen>(why);
    if (screen) return screen;
  }
  std::fprintf(stderr, "tolvane: cannot read the screen: %s. Nothing was captured.\n", why.c_str());
  return nullptr;
}

// The screen the capture stage reads itself, on the routes where the first
// stage read none; nullptr when it could not.
std::unique_ptr<tolvane::platform::Screen> screenOfOurOwn(cli::ScreenRoute route) {
  switch (route) {
    case cli::ScreenRoute::Desktop:
      return desktopScreen();
    case cli::ScreenRoute::Offscreen:
      return std::make_unique<pq::QtScreen>();
    case cli::ScreenRoute::X11:
    case cli::ScreenRoute::Wayland:
      break;
  }
  return nullptr;
}

// The capture stage's windows and Qt's event loop, as the run uses them.
class QtHost : public cli::CaptureHost {
 public:
  QtHost(pq::CaptureWindows& windows, pq::QtControlView& view, pq::QtApp& appPlatform,
         tolvane::platform::StartUpVeil* veil)
      : windows_(windows), view_(view), appPlatform_(appPlatform), veil_(veil) {}

  void connect(tolvane::session::CaptureSession& session, Calls calls) override {
    view_.attach(&session.controls());
    for (pq::CaptureWindow* w : windows_.all()) {
      w->relay().setSink(&session);
      w->onCloseRequested = calls.closeRequested;
      w->relay().onFailure = calls.failed;
    }
    // Dialogs open on the monitor that holds the region.
    windows_.first().dialogArea = [&session] {
      const auto& frame = session.controls()(tolvane::platform::Ctl::SelectionFrame);
      if (!frame.visible()) return tolvane::IRect{};
      return tolvane::IRect{static_cast<int>(frame.left()), static_cast<int>(frame.top()),
                            static_cast<int>(frame.left() + frame.width()),
                            static_cast<int>(frame.top() + frame.height())};
    };
    appPlatform_.onClosed = std::move(calls.windowGone);
  }

  // The controls are built right after the first frame, off the start-up
  // path. An Esc or a drag begun on the start-up window counts as if made
  // here; a drag still held goes on in this window.
  void whenShown(std::function<void(bool)> shown) override {
    pq::CaptureWindow& window = windows_.first();
    window.onFirstPaint = [this, &window, shown = std::move(shown)] {
      const tolvane::platform::EarlyInput early = veil_ ? veil_->close() : tolvane::platform::EarlyInput{};
      view_.ensureBuilt();
      window.relay().send([&early](tolvane::platform::EventSink& sink) { early.replay(sink); });
      if (!early.escaped() && early.leftHeld()) window.continueDrag();
      shown(early.escaped() || early.pressed());
    };
  }

  void send(const std::function<void(tolvane::platform::EventSink&)>& event) override {
    windows_.first().relay().send(event);
  }
  void goLive() override {
    view_.setLive(true);
    appPlatform_.goLive();
  }
  int runLoop() override { return QApplication::exec(); }
  void quit() override { QCoreApplication::exit(0); }

 private:
  pq::CaptureWindows& windows_;
  pq::QtControlView& view_;
  pq::QtApp& appPlatform_;
  tolvane::platform::StartUpVeil* veil_;
};

// The capture on the screen, until its window is gone: Qt and the real
// platform around the screen the first stage read. What it made (the frozen
// screen, the canvas, the history, the windows and their buffers) is freed
// on return; only `clipboard` outlives it.
int captureOnScreen(const cli::CaptureHandOver& handOver, pq::QtClipboard& clipboard,
                    tolvane::platform::Encoders& encoders) {
  const cli::Options& options = *handOver.options;
  std::unique_ptr<tolvane::platform::Screen> ownScreen = screenOfOurOwn(handOver.route);
  tolvane::platform::Screen* const read = ownScreen ? ownScreen.get() : handOver.screen;
  if (!read) return 1;
  tolvane::platform::Screen& screen = *read;
  const int width = screen.width(), height = screen.height();

  pq::QtTextEngine text;
  text.setScale(qApp->devicePixelRatio());
  pq::CaptureWindows windows(handOver.route == cli::ScreenRoute::Wayland, width, height);
  for (pq::CaptureWindow* w : windows.all()) w->attach(pq::windowHandlingFor(QGuiApplication::platformName(), *w));
  pq::CaptureWindow& window = windows.first();
  tolvane::picture::RasterSurface surface(width, height, &text, windows.presenter());
  windows.setSurface(&surface);

  pq::QtPointer pointer;
  pq::QtApp appPlatform(window, pointer);
  for (pq::CaptureWindow* w : windows.all())
    if (w != &window) appPlatform.addWindow(*w);
  pq::QtControlView view(window);
  pq::QtSaveDialog qtSaveDialog(&window);
  // A double click copies, then offers to save: whoever asks for the picture
  // at once is answered before the dialog is built.
  qtSaveDialog.beforeBuilding = [&clipboard] { clipboard.serveFirstRequests(); };
  cli::PathSaveDialog saveDialog(qtSaveDialog, options.saveFolder, options.saveFile);
  pq::QtMessageBox messageBox(&window);
  windows.hostDialogs(qtSaveDialog, messageBox, view);
  pq::QtEnvironment env;
  view.setOutputs(windows.all());

  tolvane::session::Platform platform{surface,   screen,     pointer,    appPlatform, *handOver.lock,
                                      clipboard, saveDialog, messageBox, encoders,    env};
  QtHost host(windows, view, appPlatform, handOver.veil);
  return cli::runCapture(host, platform, &view, options.region);
}

// After the window: the process stays only to hand the picture to whoever
// pastes it, until another program takes the clipboard over. The memory the
// capture freed goes back to the system first, as this may last for hours.
int serveClipboard(pq::QtClipboard& clipboard) {
  tolvane::platform::posix::returnFreedMemory();
  clipboard.onLost = [] { QCoreApplication::exit(0); };
  return QApplication::exec();
}

int captureIn(const cli::CaptureHandOver& handOver) {
  QApplication::setQuitOnLastWindowClosed(false);
  bool signalled = false;
  pq::SignalWatch signalWatch([&signalled](int) {
    signalled = true;
    QCoreApplication::exit(0);
  });
  tolvane::platform::codecs::LibEncoders encoders;
  pq::QtClipboard clipboard(encoders);
  cli::RawPngOutput rawOutput(STDOUT_FILENO);
  if (handOver.options->raw)
    clipboard.onPng = [&rawOutput](const QByteArray& png) {
      rawOutput.write(png.constData(), static_cast<std::size_t>(png.size()));
    };
  int status = captureOnScreen(handOver, clipboard, encoders);
  if (status == 0 && !signalled && clipboard.serving()) status = serveClipboard(clipboard);
  return cli::settleRawOutput(rawOutput, signalled, status);
}

int captureWithQt(const cli::CaptureHandOver& handOver) {
  followDesktopScale();
  const bool onWayland = cli::onWayland(handOver.route);
  if (onWayland) pq::paintWithoutGpu();
  // Qt gets no arguments of ours to read.
  int qtArgc = 1;
  cli::endFatalQtMessagesCleanly();
  auto app = std::make_unique<QApplication>(qtArgc, handOver.argv);
  const int status = captureIn(handOver);
  if (onWayland) {
    // Qt 6.4's Wayland client can hang for good joining its event threads
    // when the application is destroyed. By now the windows are gone, files
    // are closed and the clipboard is handed on, so the process ends here,
    // without that teardown.
    std::fflush(nullptr);
    _exit(status);
  }
  app.reset();
  return status;
}

}  // namespace

extern "C" int tolvane_capture(const cli::CaptureHandOver* handOver) {
  // The first stage has done so; a caller of its own might not have.
  if (!tolvane::platform::posix::fillClosedStandardStreams()) return 1;
  return captureWithQt(*handOver);
}
