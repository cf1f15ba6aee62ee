// Screen, pointer, event pump and the program's end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "picture/image.h"
#include "platform/failure.h"

namespace tolvane::platform {

// Why the screen cannot be read, as a Failure's number.
enum ScreenError : int {
  kScreenFormatUnreadable = 1,  // a visual or pixel format we cannot read
  kScreenInWayland = 2,         // XWayland only holds the windows of X programs
  kScreenReadFailed = 3,        // the server did not hand the pixels over
  kScreenNoWaylandRoute = 4,    // a Wayland compositor with no way for us to read it
};

// One read of the whole screen: the picture, or why there is none.
struct ScreenRead {
  Image picture;
  std::optional<Failure> failure;  // set when nothing was read
  bool ok() const { return !failure; }
};

class Screen {
 public:
  virtual ~Screen() = default;
  virtual int width() const = 0;  // pixels
  virtual int height() const = 0;
  // Reads the whole screen once.
  virtual ScreenRead grab() = 0;
};

// Program-wide pointer shapes. The Size shapes are the two-headed arrows
// of the handles: NESW points up-right and down-left, NS up and down.
enum class PointerShape { Default, Arrow, Cross, Move, SizeNESW, SizeNS, SizeNWSE, SizeWE, Busy };

class Pointer {
 public:
  virtual ~Pointer() = default;
  virtual void setShape(PointerShape shape) = 0;
  virtual PointerShape shape() const = 0;
};

class App {
 public:
  virtual ~App() = default;
  virtual void showMaximized() = 0;  // the window covers the whole screen
  // Takes the window off the screen now, before slow work that needs no
  // window (encoding the picture); close() still ends the capture after it.
  virtual void hideWindow() = 0;
  virtual void close() = 0;     // closes the window; the capture ends
  virtual void warn(const std::string& message) = 0;  // a line on stderr
};

// Single instance: only one capture at a time.
class InstanceLock {
 public:
  enum class State { Acquired, HeldElsewhere, Unavailable };
  struct Result {
    State state = State::Acquired;
    std::optional<Failure> failure;  // why, when Unavailable
  };
  virtual ~InstanceLock() = default;
  virtual Result acquire() = 0;
  virtual void release() = 0;
};

}  // namespace tolvane::platform

namespace tolvane::platform {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The user's clock and folders.
class Environment {
 public:
  virtual ~Environment() = default;
  virtual LocalTime now() const = 0;
  virtual std::string picturesFolder() const = 0;  // XDG Pictures, else home
};

}  // namespace tolvane::platform
