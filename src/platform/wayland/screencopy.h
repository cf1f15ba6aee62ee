// The Wayland desktop read through wlr-screencopy, on a connection of our
// own (not Qt's), before Qt starts. Plain C++ over libwayland-client.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "picture/image.h"
#include "platform/system.h"
#include "platform/wayland/output_layout.h"

struct wl_buffer;
struct wl_display;
struct wl_registry;

namespace tolvane::platform::wayland {

// One output's copy kept after the read, for the start-up surfaces to show:
// the shared-memory buffer the compositor copied into (a proxy of the reading
// connection) and that memory, mapped.
struct OutputBuffer {
  std::uint32_t output = 0;  // the wl_output's global name in the registry
  wl_buffer* buffer = nullptr;
  void* data = nullptr;
  std::size_t size = 0;
  int width = 0, height = 0, stride = 0;  // device pixels; stride in bytes
  bool yInvert = false;                   // the bottom row comes first
  int scale = 1;
  IRect area;  // where the output lies in the combined picture
};
// Destroys the buffer's proxy and unmaps its memory.
void releaseBuffer(OutputBuffer& b);

// A client of the read's own connection that shows the copies (the
// start-up surfaces): it binds what it needs from the read's registry, asks
// for its surfaces while the compositor copies, and gets the copies the
// moment they are in, veiled in their own memory.
class CopyViewer {
 public:
  virtual ~CopyViewer() = default;
  // Each global the read's registry lists, as it comes.
  virtual void global(wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) = 0;
  // The copies of these outputs (global names) have been asked for.
  virtual void copiesAsked(wl_display* display, const std::vector<std::uint32_t>& outputs) = 0;
  // The veil each copy gets in its own memory before show().
  virtual Argb veil() const = 0;
  // Every copy is in and veiled: the buffers are the viewer's, in the order
  // of the outputs given to copiesAsked(), and so is the connection.
  virtual void show(std::vector<OutputBuffer> buffers) = 0;
  // The read failed: the viewer lets go of all it made on the connection.
  virtual void abandon() = 0;
};

// Reads every output of the compositor at `display` once and combines them.
// A Failure when the compositor offers no screen copy, has no output, refuses
// a copy, or has not answered within `patience`: never a blank picture.
// `places` gets each output's area. A `viewer` is shown the copies as they
// come, before the combined picture is returned.
ScreenRead readDesktop(wl_display* display, std::vector<OutputPlace>* places = nullptr,
                       std::chrono::milliseconds patience = std::chrono::seconds(5), CopyViewer* viewer = nullptr);

// Handles the compositor's next events on `display`, waiting for them until
// `deadline`: false when the connection broke or nothing came in time.
bool dispatchWithin(wl_display* display, std::chrono::steady_clock::time_point deadline);

// A round trip on `display`: every request so far answered within `patience`.
bool roundtripWithin(wl_display* display, std::chrono::milliseconds patience);

// Whether the compositor at WAYLAND_DISPLAY still answers a round trip, on a
// connection made for the question.
bool compositorAnswers(std::chrono::milliseconds patience = std::chrono::seconds(2));

class WaylandScreen : public Screen {
 public:
  // nullptr when no Wayland compositor answers at WAYLAND_DISPLAY.
  static std::unique_ptr<WaylandScreen> connect();
  ~WaylandScreen() override;
  WaylandScreen(const WaylandScreen&) = delete;
  WaylandScreen& operator=(const WaylandScreen&) = delete;

  // Reads the desktop now; the next grab() hands this read over and keeps
  // no reference to the picture (a later grab() is a failure). The
  // connection is closed afterwards, or is the `viewer`'s once it was shown
  // the copies.
  const ScreenRead& readNow(CopyViewer* viewer = nullptr);
  // Where each output lies in the picture, after readNow().
  const std::vector<OutputPlace>& outputs() const { return places_; }

  int width() const override { return width_; }
  int height() const override { return height_; }
  ScreenRead grab() override;

 private:
  explicit WaylandScreen(wl_display* d) : display_(d) {}
  wl_display* display_;
  std::optional<ScreenRead> read_;
  int width_ = 0, height_ = 0;  // of the read, also once handed over
  std::vector<OutputPlace> places_;
};

}  // namespace tolvane::platform::wayland
