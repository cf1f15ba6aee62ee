// A desktop of several outputs shown by one window per output: where each
// output lies in the combined picture, and the translation between the
// picture's device pixels and a window's own.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "picture/image.h"
#include "picture/raster_host.h"

namespace tolvane::platform {

// An output as the window system reports it: position and size in logical
// pixels of the layout, and its scale (device pixels per logical pixel).
struct LogicalOutput {
  int x = 0, y = 0, width = 0, height = 0;
  int scale = 1;
};

// Each output's area in the combined picture, in device pixels: the layout
// at the largest scale among the outputs, its top-left corner at 0,0 (the
// same rule the Wayland reader combines the outputs by).
std::vector<IRect> outputAreas(const std::vector<LogicalOutput>& outputs);

// The part of `area` (picture pixels) that lies on `output`, in the output's
// own pixels; empty when none does.
IRect onOutput(const IRect& area, const IRect& output);

// A point of an output (its own pixels) in picture pixels.
inline std::pair<float, float> toPicture(float x, float y, const IRect& output) {
  return {x + static_cast<float>(output.left), y + static_cast<float>(output.top)};
}

// The output a rectangle of the picture belongs to: the one holding its
// centre, else the one it overlaps most, else 0.
std::size_t outputHolding(const std::vector<IRect>& outputs, const IRect& r);

// Hands the canvas's damage to one presenter per output, in its pixels.
class OutputPresenters : public picture::Presenter {
 public:
  void add(picture::Presenter* presenter, const IRect& output) { outputs_.push_back({presenter, output}); }
  void invalidate(const IRect& area) override;
  void flush() override;

 private:
  std::vector<std::pair<picture::Presenter*, IRect>> outputs_;
};

}  // namespace tolvane::platform
