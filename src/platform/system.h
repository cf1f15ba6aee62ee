// Screen, pointer, event pump and the program's end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/image.h"

namespace tolvane::platform {

struct IPoint {
  std::int32_t x = 0, y = 0;
};

class Screen {
 public:
  virtual ~Screen() = default;
  virtual int width() const = 0;  // pixels
  virtual int height() const = 0;
  // Reads the whole screen once. nullopt when it cannot be read; problem()
  // then says why.
  virtual std::optional<Image> grab() = 0;
  virtual std::string problem() const = 0;
  virtual IPoint cursorPos() const = 0;  // the pointer, in screen pixels
};

// Program-wide pointer shapes.
enum PointerShape : int {
  kPointerDefault = 0, kPointerArrow = 1, kPointerCross = 2, kPointerMove = 5,
  kPointerSizeNESW = 6, kPointerSizeNS = 7, kPointerSizeNWSE = 8, kPointerSizeWE = 9,
  kPointerBusy = 11,
};

class Pointer {
 public:
  virtual ~Pointer() = default;
  virtual void setShape(int shape) = 0;
  virtual int shape() const = 0;
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
  virtual ~InstanceLock() = default;
  virtual State acquire() = 0;
  virtual std::string problem() const = 0;  // why, when Unavailable
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
