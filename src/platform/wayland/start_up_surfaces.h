// The start-up veil on Wayland: the frozen outputs under the veil on
// surfaces of the first stage's own, shown the moment the screen has been
// read, while Qt starts. Plain C++ over libwayland-client.
#pragma once

#include <memory>

#include "platform/early_input.h"
#include "platform/wayland/screencopy.h"

namespace tolvane::platform::wayland {

// One overlay layer surface (wlr-layer-shell) per output, over everything,
// holding the keyboard. Each shows its output's copy, veiled in the copy's
// own memory, so no other screen-sized buffer is made. The capture stage's
// windows map below them; close() takes them away once those have drawn,
// and hands on what the pointer and the keyboard did meanwhile.
class StartUpSurfaces : public StartUpVeil {
 public:
  // Takes the connection and the buffers (WaylandScreen::takeForVeil()).
  // nullptr, everything released, when the compositor offers no layer shell
  // or does not answer.
  static std::unique_ptr<StartUpSurfaces> show(WaylandScreen::Kept kept, Argb veil);
  ~StartUpSurfaces() override;
  StartUpSurfaces(const StartUpSurfaces&) = delete;
  StartUpSurfaces& operator=(const StartUpSurfaces&) = delete;

  EarlyInput close() override;

  struct State;

 private:
  explicit StartUpSurfaces(std::unique_ptr<State> s);
  std::unique_ptr<State> s_;
};

}  // namespace tolvane::platform::wayland
