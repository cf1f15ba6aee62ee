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

struct wl_display;

namespace tolvane::platform::wayland {

// Reads every output of the compositor at `display` once and combines them.
// A Failure when the compositor offers no screen copy, has no output, refuses
// a copy, or has not answered within `patience`: never a blank picture.
// `places` gets each output's area.
ScreenRead readDesktop(wl_display* display, std::vector<OutputPlace>* places = nullptr,
                       std::chrono::milliseconds patience = std::chrono::seconds(5));

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
  const ScreenRead& readNow();
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
};

}  // namespace tolvane::platform::wayland
