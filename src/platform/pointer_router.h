// The one input path of every view: events go to the logic one at a time
// through the relay, and the pointer router decides which control each
// mouse event goes to, when a release is a click, and what a double click is.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "picture/raster_surface.h"
#include "platform/events.h"

namespace tolvane::platform {

// Sends events to the sink one at a time and brings the canvas's lazy
// repaints to the screen after each.
class EventRelay {
 public:
  // `outOfMemory`: what the user is told when a handler runs out of memory.
  explicit EventRelay(std::string outOfMemory) : outOfMemory_(std::move(outOfMemory)) {}
  void setSink(EventSink* sink) { sink_ = sink; }
  void setSurface(picture::RasterSurface* surface) { surface_ = surface; }
  EventSink* sink() const { return sink_; }
  // Told what went wrong when a handler fails (memory for the history, say);
  // the capture goes on with what it has.
  std::function<void(const std::string&)> onFailure;

  // One event to the logic, then the canvas's damage to the screen. This is
  // the one place where failures of the logic are caught.
  void send(const std::function<void(EventSink&)>& f);

 private:
  std::string outOfMemory_;
  EventSink* sink_ = nullptr;
  picture::RasterSurface* surface_ = nullptr;
};

// Routes a view's mouse events. The view says which control is under the
// pointer (`over`, the window when none takes the mouse); the router keeps
// the pointer on the control a button went down on until every button is up.
// Every button presses a control; only a left press and release on the same
// control, the window excepted, is a click. Only the left button
// double-clicks: the logic then sees press, release, double click, release.
class PointerRouter {
 public:
  explicit PointerRouter(EventRelay& relay) : relay_(relay) {}

  void press(CtlRef over, const Mouse& m);
  // m.button: the buttons held now. None held ends any capture the view lost.
  void move(CtlRef over, const Mouse& m);
  void release(CtlRef over, const Mouse& m);
  // The second press of a left double click (any other button: a press).
  void doubleClick(CtlRef over, const Mouse& m);

  // Whether a button is held: the view keeps the pointer while it is.
  bool capturing() const { return held_ != 0; }
  CtlRef captured() const { return captured_; }

 private:
  CtlRef target(CtlRef over) const { return held_ ? captured_ : over; }

  EventRelay& relay_;
  CtlRef captured_;
  int held_ = 0;  // buttons held, as they went down through this router
  bool clickArmed_ = false;
};

}  // namespace tolvane::platform
