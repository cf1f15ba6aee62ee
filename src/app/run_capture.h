// One capture, the same on every system: the session over the platform's
// pieces, its start-up, the start region, errors to the error box, and when
// the run ends. The system's side makes its windows and runs its event loop
// behind CaptureHost.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "picture/image.h"
#include "platform/controls.h"
#include "platform/events.h"
#include "session/capture_session.h"

namespace tolvane::app {

// The system's windows and event loop, as the run uses them.
class CaptureHost {
 public:
  // What the run wants to hear of the windows and the clipboard.
  struct Calls {
    std::function<void()> closeRequested;               // the window system asks a window to close
    std::function<void(const std::string&)> failed;     // the logic failed while handling an event
    std::function<void()> windowGone;                   // the capture window has been closed
  };

  virtual ~CaptureHost() = default;
  // Shows `session`'s controls and hands it every window's events; tells `calls`.
  virtual void connect(session::CaptureSession& session, Calls calls) = 0;
  // Calls `shown` once the capture window shows its first frame (at once when
  // it already has), with whether the user already pressed a button or quit
  // on the start-up window.
  virtual void whenShown(std::function<void(bool userActed)> shown) = 0;
  // Runs `event` as the windows run theirs: a failure goes to Calls::failed,
  // and the canvas's changes reach the screen.
  virtual void send(const std::function<void(platform::EventSink&)>& event) = 0;
  // The started capture is shown and takes input.
  virtual void goLive() = 0;
  // Runs the event loop until quit(): the status it ends with.
  virtual int runLoop() = 0;
  virtual void quit() = 0;
};

// The exit status of a start-up that does not run: 1 when the screen could
// not be read, 0 when another capture runs.
int startUpStatus(session::CaptureSession::StartUp outcome);

// Runs one capture on `platform` until its window is gone: the exit status.
// `region`, the --region, is selected once the window shows, unless the user
// has already pressed or quit; one lying off the screen is told on stderr.
// A system whose clipboard must still be served by this process does so
// after the return, once the capture's pictures and windows are freed.
int runCapture(CaptureHost& host, session::Platform& platform, platform::ControlView* view,
               const std::optional<IRect>& region);

}  // namespace tolvane::app
