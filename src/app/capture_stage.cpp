// The capture stage: Qt, the real platform and the session, around a screen
// the first stage has already read (see app/capture_stage.h).
#include "app/capture_stage.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/display_choice.h"
#include "app/raw_output.h"
#include "app/save_path.h"
#include "app/stage_ends.h"
#include "app/start_region.h"
#include "platform/codecs/encoders.h"
#include "platform/output_areas.h"
#include "platform/posix/process_start.h"
#include "platform/qt/capture_window.h"
#include "platform/qt/clipboard.h"
#include "platform/qt/control_view.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/kwin_screen.h"
#include "platform/qt/pictures.h"
#include "platform/qt/portal_screen.h"
#include "platform/qt/qt_screen.h"
#include "platform/qt/signal_watch.h"
#include "platform/qt/system.h"
#include "platform/qt/text_engine.h"
#include "platform/qt/wayland_buffers.h"
#include "platform/wayland/screencopy.h"
#include "session/capture_session.h"
#include "texts/texts.h"

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

// The screen where the first stage read none: on Wayland without
// wlr-screencopy the desktop's (KWin's own interface, else the Screenshot
// portal: see cli::desktopRoutes), else Qt's own (the offscreen platform).
// nullptr when the desktop gave none: nothing is shown.
std::unique_ptr<tolvane::platform::Screen> screenOfOurOwn(const cli::CaptureHandOver& handOver) {
  if (!handOver.screenFromPortal) return std::make_unique<pq::QtScreen>();
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

// On Wayland each output gets a window of its own showing its part of the
// picture: `first` takes the output at the layout's top-left corner (it
// holds the controls and the dialogs), `more` the others.
void coverEachOutput(pq::CaptureWindow& first, std::vector<std::unique_ptr<pq::CaptureWindow>>& more) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  std::vector<tolvane::platform::LogicalOutput> logical;
  for (const QScreen* s : screens) {
    const QRect g = s->geometry();
    logical.push_back({g.x(), g.y(), g.width(), g.height(), static_cast<int>(std::lround(s->devicePixelRatio()))});
  }
  const std::vector<tolvane::IRect> areas = tolvane::platform::outputAreas(logical);
  std::vector<tolvane::platform::wayland::OutputPlace> places;
  for (const tolvane::IRect& a : areas) places.push_back({a, 1});
  const std::size_t corner = tolvane::platform::wayland::topLeftOutput(places);
  for (std::size_t i = 0; i < areas.size(); ++i) {
    if (i == corner) {
      first.setOutput(screens[static_cast<qsizetype>(i)], areas[i]);
      continue;
    }
    more.push_back(std::make_unique<pq::CaptureWindow>());
    more.back()->setWindowIcon(first.windowIcon());
    more.back()->setOutput(screens[static_cast<qsizetype>(i)], areas[i]);
  }
}

// The capture window and, on Wayland, one more per further output, with the
// canvas's damage shared out among them.
struct Windows {
  pq::CaptureWindow first;
  std::vector<std::unique_ptr<pq::CaptureWindow>> more;
  std::vector<pq::CaptureWindow*> all;
  tolvane::platform::OutputPresenters presenters;
  tolvane::picture::Presenter* presenter() {
    if (all.size() > 1) return &presenters;
    return &first;
  }
};

void setUpWindows(Windows& windows, const cli::CaptureHandOver& handOver, int width, int height) {
  windows.first.setWindowIcon(QIcon(QPixmap::fromImage(pq::windowIconImage())));
  if (handOver.wayland) coverEachOutput(windows.first, windows.more);
  windows.all = {&windows.first};
  for (const auto& w : windows.more) windows.all.push_back(w.get());
  for (pq::CaptureWindow* w : windows.all) {
    w->attach(pq::windowHandlingFor(QGuiApplication::platformName(), *w));
    w->setScreenRect(QRect(0, 0, width, height));
    windows.presenters.add(w, w->outputArea());
  }
}

// With a window per output, the dialogs belong to the one showing the
// region: the one the toolbar, which lies under the region, was put on.
void dialogsOnTheRegionsOutput(pq::QtSaveDialog& saveDialog, pq::QtMessageBox& messageBox, pq::QtControlView& view,
                               pq::CaptureWindow& first) {
  const auto host = [&view, &first]() -> pq::CaptureWindow* {
    const QWidget* bar = view.widget({tolvane::platform::Ctl::Toolbar, -1});
    auto* window = bar ? qobject_cast<pq::CaptureWindow*>(bar->parentWidget()) : nullptr;
    return window ? window : &first;
  };
  saveDialog.hostWindow = host;
  messageBox.hostWindow = host;
}

// Every window's events go to the session; its failures to the error box.
// Dialogs open on the monitor that holds the region.
void connectWindows(Windows& windows, tolvane::session::CaptureSession& form, pq::QtMessageBox& messageBox) {
  for (pq::CaptureWindow* w : windows.all) {
    w->relay().setSink(&form);
    w->onCloseRequested = [&form] { form.close(); };
    w->relay().onFailure = [&messageBox](const std::string& what) {
      messageBox.information(std::string(tolvane::texts::kErrorTitle), tolvane::texts::operationError(what));
    };
  }
  windows.first.dialogArea = [&form] {
    const auto& frame = form.controls()(tolvane::platform::Ctl::SelectionFrame);
    if (!frame.visible()) return tolvane::IRect{};
    return tolvane::IRect{static_cast<int>(frame.left()), static_cast<int>(frame.top()),
                          static_cast<int>(frame.left() + frame.width()), static_cast<int>(frame.top() + frame.height())};
  };
}

// Qt and the real platform, around the screen the first stage read.
int captureIn(QApplication& app, const cli::CaptureHandOver& handOver) {
  const cli::Options& options = *handOver.options;
  QApplication::setQuitOnLastWindowClosed(false);
  bool signalled = false;
  pq::SignalWatch signalWatch([&signalled](int) {
    signalled = true;
    QCoreApplication::exit(0);
  });
  std::unique_ptr<tolvane::platform::Screen> ownScreen;
  if (!handOver.screen && !(ownScreen = screenOfOurOwn(handOver))) return 1;
  tolvane::platform::Screen& screen = handOver.screen ? *handOver.screen : *ownScreen;
  const int width = screen.width(), height = screen.height();

  pq::QtTextEngine text;
  text.setScale(app.devicePixelRatio());
  Windows windows;
  setUpWindows(windows, handOver, width, height);
  pq::CaptureWindow& window = windows.first;
  tolvane::picture::RasterSurface surface(width, height, &text, windows.presenter());
  for (pq::CaptureWindow* w : windows.all) w->setSurface(&surface);

  pq::QtPointer pointer;
  pq::QtApp appPlatform(window, pointer);
  for (const auto& w : windows.more) appPlatform.addWindow(*w);
  tolvane::platform::codecs::LibEncoders encoders;
  pq::QtClipboard clipboard(encoders);
  pq::QtControlView view(window);
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
  dialogsOnTheRegionsOutput(qtSaveDialog, messageBox, view, window);
  pq::QtEnvironment env;
  view.setOutputs(windows.all);

  tolvane::session::Platform platform{surface,   screen,     pointer,    appPlatform, *handOver.lock,
                                      clipboard, saveDialog, messageBox, encoders,    env};
  tolvane::session::CaptureSession form(platform, &view);
  view.attach(&form.controls());
  connectWindows(windows, form, messageBox);
  finishStartUpOnFirstPaint(window, view, handOver.veil, form, options, width, height);
  quitWhenDone(appPlatform, clipboard, form);
  return cli::settleRawOutput(rawOutput, signalled, runCapture(app, form, clipboard, view, appPlatform));
}

int captureWithQt(const cli::CaptureHandOver& handOver) {
  followDesktopScale();
  const bool onWayland = handOver.wayland || handOver.screenFromPortal;
  if (onWayland) pq::paintWithoutGpu();
  // Qt gets no arguments of ours to read.
  int qtArgc = 1;
  cli::endFatalQtMessagesCleanly();
  auto app = std::make_unique<QApplication>(qtArgc, handOver.argv);
  const int status = captureIn(*app, handOver);
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
