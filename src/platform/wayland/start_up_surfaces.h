// The start-up veil on Wayland: the frozen outputs under the veil on
// surfaces of the first stage's own, shown the moment the screen has been
// read, while Qt starts. Plain C++ over libwayland-client.
#pragma once

#include <memory>

#include "platform/early_input.h"
#include "platform/wayland/screencopy.h"

namespace tolvane::platform::wayland {

// One surface per output over everything, holding the keyboard: an overlay
// layer surface (wlr-layer-shell), or where the compositor has no layer
// shell an xdg toplevel made full screen on the output. Each shows its
// output's copy, veiled in the copy's own memory, so no other screen-sized
// buffer is made. The surfaces are made on the read's connection while the
// compositor copies (see CopyViewer), and shown as soon as the copies are
// in. The capture stage's windows map below them (or, full screen, take
// their place); close() takes them away once those have drawn, and hands on
// what the pointer and the keyboard did meanwhile.
class StartUpSurfaces : public StartUpVeil, public CopyViewer {
 public:
  explicit StartUpSurfaces(Argb veil);
  ~StartUpSurfaces() override;
  StartUpSurfaces(const StartUpSurfaces&) = delete;
  StartUpSurfaces& operator=(const StartUpSurfaces&) = delete;

  // Whether the veil is on screen: false when the compositor offers neither
  // shell or did not answer (the read itself may still have succeeded).
  bool shown() const;

  EarlyInput close() override;

  void global(wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) override;
  void copiesAsked(wl_display* display, const std::vector<std::uint32_t>& outputs) override;
  Argb veil() const override;
  void show(std::vector<OutputBuffer> buffers) override;
  void abandon() override;

  struct State;

 private:
  std::unique_ptr<State> s_;
};

}  // namespace tolvane::platform::wayland
