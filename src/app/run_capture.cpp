#include "app/run_capture.h"

#include "app/start_region.h"
#include "texts/texts.h"

namespace tolvane::app {

using StartUp = session::CaptureSession::StartUp;

int startUpStatus(StartUp outcome) {
  switch (outcome) {
    case StartUp::Running:
    case StartUp::AnotherCapture:
      return 0;
    case StartUp::ScreenUnreadable:
      return 1;
  }
  return 1;
}

namespace {

// Events to the session, failures to the error box; the run ends with the window.
void connect(CaptureHost& host, session::CaptureSession& session, session::Platform& platform) {
  CaptureHost::Calls calls;
  calls.closeRequested = [&session] { session.close(); };
  calls.failed = [&platform](const std::string& what) {
    platform.messageBox.information(std::string(texts::kErrorTitle), texts::operationError(what));
  };
  calls.windowGone = [&host] { host.quit(); };
  host.connect(session, std::move(calls));
}

// The --region is selected as the window first shows, unless the user was quicker.
void selectWhenShown(CaptureHost& host, session::CaptureSession& session, session::Platform& platform,
                     const std::optional<IRect>& region) {
  host.whenShown([&host, &session, &platform, region](bool userActed) {
    if (!region || userActed) return;
    host.send([&](platform::EventSink&) {
      if (applyStartRegion(session, *region, platform.screen.width(), platform.screen.height()).empty())
        platform.app.warn("tolvane: the --region lies off the screen: none is selected");
    });
  });
}

}  // namespace

int runCapture(CaptureHost& host, session::Platform& platform, platform::ControlView* view,
               const std::optional<IRect>& region) {
  session::CaptureSession session(platform, view);
  connect(host, session, platform);
  if (const StartUp s = session.start(); s != StartUp::Running) return startUpStatus(s);
  if (session.closed()) return 0;
  selectWhenShown(host, session, platform, region);
  host.goLive();
  return host.runLoop();
}

}  // namespace tolvane::app
