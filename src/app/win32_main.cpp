// Tolvane on Windows: one region capture per run, over Win32 with no Qt.
#include <objbase.h>
#include <shellapi.h>
#include "platform/win32/win.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/run_capture.h"
#include "app/save_path.h"
#include "picture/raster_surface.h"
#include "platform/win32/capture_window.h"
#include "platform/win32/clipboard.h"
#include "platform/win32/control_view.h"
#include "platform/win32/desktop.h"
#include "platform/win32/dialogs.h"
#include "platform/win32/text_engine.h"
#include "platform/win32/wic_encoders.h"
#include "platform/win32/wide.h"
#include "session/capture_session.h"

namespace pw = tolvane::platform::win32;
namespace cli = tolvane::app;

namespace {

// The arguments as UTF-8, whatever the console's code page.
std::vector<std::string> utf8Arguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(pw::narrow(wide[i]));
  LocalFree(wide);
  return out;
}

// --help, --version and a wrong command line end here: their exit status.
std::optional<int> answerWithoutCapture(const cli::CommandLine& commandLine) {
  switch (commandLine.action) {
    case cli::CommandLine::Action::Help: std::fputs(cli::usageText().c_str(), stdout); return 0;
    case cli::CommandLine::Action::Version: std::fputs(cli::versionText(TOLVANE_VERSION).c_str(), stdout); return 0;
    case cli::CommandLine::Action::Error: std::fputs(cli::errorText(commandLine.error).c_str(), stderr); return cli::kExitUsage;
    case cli::CommandLine::Action::Capture: break;
  }
  if (commandLine.options.raw) {
    std::fputs("tolvane: -r is not offered on Windows\n", stderr);
    return cli::kExitUsage;
  }
  return std::nullopt;
}

// The capture window and the message loop, as the run uses them.
class WinHost : public cli::CaptureHost {
 public:
  WinHost(pw::CaptureWindow& window, pw::WinControlView& view, pw::WinApp& app,
          tolvane::picture::RasterSurface& surface, pw::WinPointer& pointer, const tolvane::session::CaptureSession*& session)
      : window_(window), view_(view), app_(app), surface_(surface), pointer_(pointer), session_(session) {}

  void connect(tolvane::session::CaptureSession& session, Calls calls) override {
    session_ = &session;
    view_.attach(session.controls());
    window_.attach(&surface_, &view_, &pointer_, &session);
    window_.onCloseRequested = std::move(calls.closeRequested);
    window_.onFailure = std::move(calls.failed);
    app_.onClosed = std::move(calls.windowGone);
  }
  // The window has painted while the capture started (showMaximized updates it).
  void whenShown(std::function<void(bool)> shown) override { shown(false); }
  void send(const std::function<void(tolvane::platform::EventSink&)>& event) override { window_.send(event); }
  void goLive() override {}
  int runLoop() override {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    return 0;
  }
  // The system keeps the clipboard's picture: nothing is left to serve after.
  void quit() override { PostQuitMessage(0); }

 private:
  pw::CaptureWindow& window_;
  pw::WinControlView& view_;
  pw::WinApp& app_;
  tolvane::picture::RasterSurface& surface_;
  pw::WinPointer& pointer_;
  const tolvane::session::CaptureSession*& session_;
};

// The region the session has made, in screen pixels: the dialogs are centred on its monitor.
pw::RegionOnScreen regionOf(const tolvane::session::CaptureSession* const& form, const pw::GdiScreen& screen) {
  return [&form, &screen]() -> std::optional<RECT> {
    if (!form || !form->region().made()) return std::nullopt;
    const tolvane::IRect r = form->region().shape().pixels();
    return RECT{r.left + screen.left(), r.top + screen.top(), r.right + screen.left(), r.bottom + screen.top()};
  };
}

int capture(const cli::Options& options, pw::MutexInstanceLock& lock) {
  pw::GdiScreen screen;
  const int width = screen.width(), height = screen.height();
  pw::GdiTextEngine text;
  pw::CaptureWindow window(screen.left(), screen.top(), width, height);
  tolvane::picture::RasterSurface surface(width, height, &text, &window);
  pw::WinPointer pointer;
  pw::WinApp app(window);
  pw::WicEncoders encoders;
  pw::WinClipboard clipboard(window.handle(), encoders);
  const tolvane::session::CaptureSession* session = nullptr;
  pw::WinSaveDialog winSaveDialog(window.handle(), regionOf(session, screen));
  cli::PathSaveDialog saveDialog(winSaveDialog, options.saveFolder, options.saveFile);
  pw::WinMessageBox messageBox(window.handle(), regionOf(session, screen));
  pw::WinEnvironment env;
  pw::WinControlView view(window.handle(), text, [&window](std::function<void(tolvane::platform::EventSink&)> f) {
    window.send(f);
  });

  tolvane::session::Platform platform{surface,   screen,     pointer,    app,      lock,
                                      clipboard, saveDialog, messageBox, encoders, env};
  WinHost host(window, view, app, surface, pointer, session);
  return cli::runCapture(host, platform, &view, options.region);
}

}  // namespace

int main() {
  std::vector<std::string> args = utf8Arguments();
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const cli::CommandLine commandLine = cli::parseCommandLine(static_cast<int>(args.size()), argv.data());
  if (const std::optional<int> status = answerWithoutCapture(commandLine)) return *status;

  // A second capture ends here: nothing read, nothing shown.
  pw::MutexInstanceLock lock;
  if (lock.acquire().state == tolvane::platform::InstanceLock::State::HeldElsewhere) return 0;
  if (commandLine.options.delayMs > 0) Sleep(static_cast<DWORD>(commandLine.options.delayMs));
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int status = capture(commandLine.options, lock);
  CoUninitialize();
  return status;
}
