// The Wayland desktop read through wlr-screencopy, on a connection of our
// own (not Qt's), before Qt starts. Plain C++ over libwayland-client.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"
#include "platform/wayland/output_layout.h"

struct wl_buffer;
struct wl_display;

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

// Reads every output of the compositor at `display` once and combines them.
// A Failure when the compositor offers no screen copy, has no output, refuses
// a copy, or has not answered within `patience`: never a blank picture.
// `places` gets each output's area. With `keep`, a successful read leaves each
// output's buffer alive and hands it over there, in the order of `places`.
ScreenRead readDesktop(wl_display* display, std::vector<OutputPlace>* places = nullptr,
                       std::chrono::milliseconds patience = std::chrono::seconds(5),
                       std::vector<OutputBuffer>* keep = nullptr);

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

  // Reads the desktop now; the next grab() hands this read over. The
  // connection is closed afterwards: a later grab() reads nothing new.
  // With `keepForVeil` the connection and the outputs' buffers stay, for
  // takeForVeil().
  const ScreenRead& readNow(bool keepForVeil = false);
  // The connection and the buffers a readNow(true) kept; the screen lets go
  // of them. An empty connection when there are none.
  struct Kept {
    wl_display* display = nullptr;
    std::vector<OutputBuffer> buffers;
  };
  Kept takeForVeil();
  // Where each output lies in the picture, after readNow().
  const std::vector<OutputPlace>& outputs() const { return places_; }

  int width() const override { return read_ ? read_->picture.width() : 0; }
  int height() const override { return read_ ? read_->picture.height() : 0; }
  ScreenRead grab() override;

 private:
  explicit WaylandScreen(wl_display* d) : display_(d) {}
  wl_display* display_;
  std::optional<ScreenRead> read_;
  std::vector<OutputPlace> places_;
  std::vector<OutputBuffer> kept_;
};

}  // namespace tolvane::platform::wayland
