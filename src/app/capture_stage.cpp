// The capture stage: Qt, the real platform and the session, around a screen
// the first stage has already read (see app/capture_stage.h).
#include "app/capture_stage.h"

#include <QApplication>
#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QScreen>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/raw_output.h"
#include "app/save_path.h"
#include "app/start_region.h"
#include "platform/codecs/encoders.h"
#include "platform/qt/capture_window.h"
#include "platform/qt/clipboard.h"
#include "platform/qt/control_view.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/pictures.h"
#include "platform/qt/portal_screen.h"
#include "platform/qt/qt_screen.h"
#include "platform/qt/signal_watch.h"
#include "platform/qt/system.h"
#include "platform/qt/text_engine.h"
#include "platform/qt/wayland_buffers.h"
#include "platform/wayland/screencopy.h"
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

// The controls are built right after the first frame, off the start-up path.
// An Esc or a drag begun on the start-up window counts as if made here; a
// drag still held goes on in this window.
// A --region is selected then, unless the user already pressed or quit.
void finishStartUpOnFirstPaint(pq::CaptureWindow& window, pq::QtControlView& view,
                               tolvane::platform::StartUpVeil* veil, tolvane::session::CaptureSession& form,
                               const cli::Options& options, int width, int height) {
  window.onFirstPaint = [&view, veil, &window, &form, &options, width, height] {
    const tolvane::platform::EarlyInput early = veil ? veil->close() : tolvane::platform::EarlyInput{};
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

// The compositor tells the pointer only over our window, in logical pixels
// of the desktop; the window covers its output, whose corner is the
// picture's.
tolvane::platform::IPoint pointerOnWayland() {
  const QPoint global = QCursor::pos();
  const QScreen* output = QGuiApplication::screenAt(global);
  const QPointF p = output ? QPointF(global - output->geometry().topLeft()) * output->devicePixelRatio()
                           : QPointF(global) * qApp->devicePixelRatio();
  return tolvane::platform::IPoint{static_cast<int>(p.x()), static_cast<int>(p.y())};
}

// The screen where the first stage read none: on Wayland without
// wlr-screencopy the desktop's Screenshot portal's, else Qt's own (the
// offscreen platform). nullptr when the portal gave none: nothing is shown.
std::unique_ptr<tolvane::platform::Screen> screenOfOurOwn(const cli::CaptureHandOver& handOver) {
  if (!handOver.screenFromPortal) return std::make_unique<pq::QtScreen>();
  auto portal = std::make_unique<pq::PortalScreen>();
  if (const auto& read = portal->readNow(); !read.ok()) {
    std::fprintf(stderr, "tolvane: cannot read the screen: %s. Nothing was captured.\n",
                 read.failure->description.c_str());
    return nullptr;
  }
  portal->cursor = pointerOnWayland;
  return portal;
}

// Qt and the real platform, around the screen the first stage read.
int captureWithQt(const cli::CaptureHandOver& handOver) {
  const cli::Options& options = *handOver.options;
  followDesktopScale();
  if (handOver.wayland || handOver.screenFromPortal) pq::paintWithoutGpu();
  // Qt gets no arguments of ours to read.
  int qtArgc = 1;
  QApplication app(qtArgc, handOver.argv);
  QApplication::setQuitOnLastWindowClosed(false);
  pq::SignalWatch signalWatch([](int) { QCoreApplication::exit(0); });
  if (handOver.wayland) handOver.wayland->cursor = pointerOnWayland;
  std::unique_ptr<tolvane::platform::Screen> ownScreen;
  if (!handOver.screen && !(ownScreen = screenOfOurOwn(handOver))) return 1;
  tolvane::platform::Screen& screen = handOver.screen ? *handOver.screen : *ownScreen;
  const int width = screen.width(), height = screen.height();

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
  // A double click copies, then offers to save: whoever asks for the picture
  // at once is answered before the dialog is built.
  qtSaveDialog.beforeBuilding = [&clipboard] { clipboard.serveFirstRequests(); };
  cli::PathSaveDialog saveDialog(qtSaveDialog, options.saveFolder, options.saveFile);
  cli::RawPngOutput rawOutput(STDOUT_FILENO);
  if (options.raw)
    clipboard.onPng = [&rawOutput](const QByteArray& png) {
      rawOutput.write(png.constData(), static_cast<std::size_t>(png.size()));
    };
  pq::QtMessageBox messageBox(&window);
  pq::QtEnvironment env;
  pq::QtControlView view(window);

  tolvane::session::Platform platform{surface,   screen,     pointer,    appPlatform, *handOver.lock,
                                      clipboard, saveDialog, messageBox, encoders,    env};
  tolvane::session::CaptureSession form(platform, &view);
  view.attach(&form.controls());
  window.relay().setSink(&form);
  window.onCloseRequested = [&form] { form.close(); };
  window.relay().onFailure = [&messageBox](const std::string& what) {
    messageBox.information("错误", "在处理操作时发生错误:\r\n\r\n错误描述: " + what);
  };
  finishStartUpOnFirstPaint(window, view, handOver.veil, form, options, width, height);
  quitWhenDone(appPlatform, clipboard, form);
  return runCapture(app, form, clipboard, view, appPlatform);
}

}  // namespace

extern "C" int tolvane_capture(const cli::CaptureHandOver* handOver) { return captureWithQt(*handOver); }
