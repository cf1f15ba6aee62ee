// Tolvane: one region capture per run.
#include <QApplication>
#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

#include "app/command_line.h"
#include "app/display_choice.h"
#include "app/raw_output.h"
#include "app/save_path.h"
#include "app/start_region.h"
#include "platform/codecs/encoders.h"
#include "platform/qt/capture_window.h"
#include "platform/qt/clipboard.h"
#include "platform/qt/control_view.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/instance_lock.h"
#include "platform/qt/pictures.h"
#include "platform/qt/signal_watch.h"
#include "platform/qt/system.h"
#include "platform/qt/text_engine.h"
#include "platform/qt/wayland_buffers.h"
#include "platform/qt/x11_screen.h"
#include "selection/backdrop.h"
#include "session/capture_session.h"

namespace pq = tolvane::platform::qt;
namespace pw = tolvane::platform::wayland;
namespace cli = tolvane::app;

namespace {

bool offscreenPlatform() {
  const char* qpa = std::getenv("QT_QPA_PLATFORM");
  if (!qpa) return false;
  const std::string p(qpa);
  return p.rfind("offscreen", 0) == 0 || p.rfind("minimal", 0) == 0;
}

// --help, --version and a wrong command line end here, before anything
// touches the display: their exit status. Nothing for a capture.
std::optional<int> answerWithoutCapture(const cli::CommandLine& commandLine) {
  switch (commandLine.action) {
    case cli::CommandLine::Action::Help:
      std::fputs(cli::usageText().c_str(), stdout);
      return 0;
    case cli::CommandLine::Action::Version:
      std::fputs(cli::versionText(TOLVANE_VERSION).c_str(), stdout);
      return 0;
    case cli::CommandLine::Action::Error:
      std::fputs(cli::errorText(commandLine.error).c_str(), stderr);
      return cli::kExitUsage;
    case cli::CommandLine::Action::Capture:
      break;
  }
  if (commandLine.options.raw) {
    if (const auto why = cli::rawOutputRefusal(STDOUT_FILENO)) {
      std::fputs(cli::errorText(*why).c_str(), stderr);
      return cli::kExitUsage;
    }
  }
  return std::nullopt;
}

// The interface follows the desktop's scale: Qt takes it from Xft.dpi and
// QT_SCALE_FACTOR. The window spans every monitor, so they share one
// scale; a scale per monitor is not taken. Xft.dpi rounds to a whole
// scale (144 dpi gives 2), which keeps controls on whole device pixels.
void followDesktopScale() {
  unsetenv("QT_SCREEN_SCALE_FACTORS");
  unsetenv("QT_AUTO_SCREEN_SCALE_FACTOR");
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
}

// Qt aborts without a display, so test it first with a connection of our
// own, which then also reads the screen. Sets `x` (left empty on the
// offscreen platform); the exit status when there is no display.
std::optional<int> connectDisplay(std::unique_ptr<pq::XConnection>& x) {
  if (offscreenPlatform()) return std::nullopt;
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    std::fputs("tolvane: no display: DISPLAY is not set and no Wayland compositor answers at WAYLAND_DISPLAY.\n",
               stderr);
    return 1;
  }
  std::string why;
  x = pq::XConnection::open(&why);
  if (!x) {
    std::fprintf(stderr, "tolvane: cannot open the X display \"%s\": %s\n", display, why.c_str());
    return 1;
  }
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  return std::nullopt;
}

// The screen is read before anything of ours is on it, and shown under the
// veil at once while Qt starts.
struct EarlyScreen {
  std::unique_ptr<tolvane::platform::Screen> screen;
  std::unique_ptr<pq::VeilSplash> splash;
};

EarlyScreen readScreenEarly(pq::XConnection* x) {
  EarlyScreen early;
  if (x) {
    auto xcbScreen = std::make_unique<pq::XcbScreen>(*x);
    if (const auto& read = xcbScreen->readNow(); read.ok())
      early.splash = std::make_unique<pq::VeilSplash>(*x, read.picture, tolvane::selection::kVeil);
    early.screen = std::move(xcbScreen);
  }
  return early;
}

// On Wayland the desktop is read through the compositor before Qt starts;
// nothing is shown until Qt's window is. No screen when the read failed: the
// run ends with why, before Qt starts.
EarlyScreen readWaylandEarly(std::unique_ptr<pw::WaylandScreen> wayland) {
  EarlyScreen early;
  if (const auto& read = wayland->readNow(); !read.ok()) {
    std::fprintf(stderr, "tolvane: cannot read the screen: %s. Nothing was captured.\n",
                 read.failure->description.c_str());
    return early;
  }
  // One full-screen window covers one output: the capture is that output's.
  wayland->keepOutput(pw::topLeftOutput(wayland->outputs()));
  // The compositor tells the pointer only over our window, in logical pixels
  // of the desktop; the window covers its output, whose corner is the
  // picture's.
  wayland->cursor = [] {
    const QPoint global = QCursor::pos();
    const QScreen* output = QGuiApplication::screenAt(global);
    const QPointF p = output ? QPointF(global - output->geometry().topLeft()) * output->devicePixelRatio()
                             : QPointF(global) * qApp->devicePixelRatio();
    return tolvane::platform::IPoint{static_cast<int>(p.x()), static_cast<int>(p.y())};
  };
  early.screen = std::move(wayland);
  return early;
}

// The controls are built right after the first frame, off the start-up path.
// An Esc or a drag begun on the start-up window counts as if made here; a
// drag still held goes on in this window.
// A --region is selected then, unless the user already pressed or quit.
void finishStartUpOnFirstPaint(pq::CaptureWindow& window, pq::QtControlView& view,
                               std::unique_ptr<pq::VeilSplash>& splash, tolvane::session::CaptureSession& form,
                               const cli::Options& options, int width, int height) {
  window.onFirstPaint = [&view, &splash, &window, &form, &options, width, height] {
    const pq::EarlyInput early = splash ? splash->close() : pq::EarlyInput{};
    view.ensureBuilt();
    window.relay().send([&early](tolvane::platform::EventSink& sink) { early.replay(sink); });
    if (!early.escaped() && early.leftHeld()) window.continueDrag();
    if (options.region && !early.escaped() && !early.pressed())
      window.relay().send([&](tolvane::platform::EventSink&) {
        if (cli::applyStartRegion(form, *options.region, width, height).empty())
          std::fputs("tolvane: the --region lies off the screen: none is selected\n", stderr);
      });
  };
}

// When the window has gone, the process stays only to hand the picture to
// whoever pastes it, until another program takes the clipboard over.
void quitWhenDone(pq::QtApp& appPlatform, pq::QtClipboard& clipboard, tolvane::session::CaptureSession& form) {
  appPlatform.onClosed = [&clipboard] {
    if (!clipboard.serving()) QCoreApplication::exit(0);
  };
  clipboard.onLost = [&form] {
    if (form.closed()) QCoreApplication::exit(0);
  };
}

// Starts the capture and runs it to its end: the exit status.
int runCapture(QApplication& app, tolvane::session::CaptureSession& form, pq::QtClipboard& clipboard,
               pq::QtControlView& view, pq::QtApp& appPlatform) {
  using StartUp = tolvane::session::CaptureSession::StartUp;
  if (const StartUp s = form.start(); s != StartUp::Running) return s == StartUp::ScreenUnreadable ? 1 : 0;
  if (form.closed()) return clipboard.serving() ? app.exec() : 0;

  view.setLive(true);
  appPlatform.goLive();
  return app.exec();
}

// Qt and the real platform, around a screen already read.
int captureWithQt(char** argv, const cli::Options& options, tolvane::platform::InstanceLock& lock,
                  EarlyScreen early) {
  // Qt gets no arguments of ours to read.
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  pq::SignalWatch signalWatch([](int) { QCoreApplication::exit(0); });
  std::unique_ptr<tolvane::platform::Screen>& screen = early.screen;
  if (!screen) screen = std::make_unique<pq::QtScreen>();
  const int width = screen->width(), height = screen->height();

  pq::QtTextEngine text;
  text.setScale(app.devicePixelRatio());
  pq::CaptureWindow window;
  window.setWindowIcon(QIcon(QPixmap::fromImage(pq::windowIconImage())));
  window.setScreenRect(QRect(0, 0, width, height));
  tolvane::platform::RasterSurface surface(width, height, &text, &window);
  window.setSurface(&surface);

  pq::QtPointer pointer;
  pq::QtApp appPlatform(window, pointer);
  tolvane::platform::codecs::LibEncoders encoders;
  pq::QtClipboard clipboard(encoders);
  pq::QtSaveDialog qtSaveDialog(&window);
  cli::PathSaveDialog saveDialog(qtSaveDialog, options.saveFolder, options.saveFile);
  cli::RawPngOutput rawOutput(STDOUT_FILENO);
  if (options.raw)
    clipboard.onPng = [&rawOutput](const QByteArray& png) {
      rawOutput.write(png.constData(), static_cast<std::size_t>(png.size()));
    };
  pq::QtMessageBox messageBox(&window);
  pq::QtEnvironment env;
  pq::QtControlView view(window);

  tolvane::session::Platform platform{surface,   *screen,    pointer,    appPlatform, lock,
                                      clipboard, saveDialog, messageBox, encoders,    env};
  tolvane::session::CaptureSession form(platform, &view);
  view.attach(&form.controls());
  window.relay().setSink(&form);
  window.onCloseRequested = [&form] { form.close(); };
  window.relay().onFailure = [&messageBox](const std::string& what) {
    messageBox.information("错误", "在处理操作时发生错误:\r\n\r\n错误描述: " + what);
  };
  finishStartUpOnFirstPaint(window, view, early.splash, form, options, width, height);
  quitWhenDone(appPlatform, clipboard, form);
  return runCapture(app, form, clipboard, view, appPlatform);
}

}  // namespace

int main(int argc, char** argv) {
  // The command line comes first: --help, --version and mistakes touch no display.
  const cli::CommandLine commandLine = cli::parseCommandLine(argc, argv);
  if (const std::optional<int> status = answerWithoutCapture(commandLine)) return *status;
  const cli::Options& options = commandLine.options;
  followDesktopScale();

  // Wayland when a compositor answers, else X.
  std::unique_ptr<pw::WaylandScreen> wayland = cli::chooseWayland();
  std::unique_ptr<pq::XConnection> x;
  if (!wayland)
    if (const std::optional<int> status = connectDisplay(x)) return *status;

  // A second capture ends here, before Qt starts: nothing read, nothing shown.
  pq::FlockInstanceLock lock;
  if (lock.acquire().state == tolvane::platform::InstanceLock::State::HeldElsewhere) return 0;
  if (options.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(options.delayMs));

  if (wayland) {
    EarlyScreen early = readWaylandEarly(std::move(wayland));
    if (!early.screen) return 1;
    pq::paintWithoutGpu();
    return captureWithQt(argv, options, lock, std::move(early));
  }
  return captureWithQt(argv, options, lock, readScreenEarly(x.get()));
}
