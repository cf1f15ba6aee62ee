// The pure parts of the start-up surfaces on Wayland: the veil written over
// an output's copy where it lies, and the seat's events on the surfaces as
// the early input the capture window carries on from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "picture/image.h"
#include "platform/early_input.h"

namespace tolvane::platform::wayland {

// Veils an output's copy in its own memory (0xXXRRGGBB rows of `stride`
// bytes), leaving it top row first and opaque: rows stored bottom first
// (`yInvert`) are turned around on the way.
void veilInPlace(std::uint8_t* data, int width, int height, int stride, bool yInvert, Argb veil);

// The Linux input codes the seat reports.
inline constexpr std::uint32_t kBtnLeft = 0x110, kBtnRight = 0x111, kBtnMiddle = 0x112;
inline constexpr std::uint32_t kKeyEsc = 1;

// Follows the pointer and the keyboard over one surface per output and keeps
// what they did, in the picture's pixels.
class SurfaceGesture {
 public:
  // An output's surface: its area in the picture (device pixels) and its
  // size as the compositor configured it (surface pixels).
  struct Surface {
    IRect area;
    int width = 0, height = 0;
  };
  explicit SurfaceGesture(std::vector<Surface> surfaces = {}) : surfaces_(std::move(surfaces)) {}
  // The compositor gave surface `surface` this size.
  void configure(std::size_t surface, int width, int height);

  void enter(std::size_t surface, double x, double y);
  void leave() { on_ = false; }
  void motion(double x, double y);
  void button(std::uint32_t code, bool pressed);
  void key(std::uint32_t code, bool pressed);

  const EarlyInput& input() const { return input_; }

 private:
  void moveTo(double x, double y);

  std::vector<Surface> surfaces_;
  EarlyInput input_;
  std::size_t surface_ = 0;
  bool on_ = false;
  int x_ = 0, y_ = 0;
};

}  // namespace tolvane::platform::wayland
