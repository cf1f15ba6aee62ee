// The desktop of a Wayland compositor as one picture: each output's pixels
// placed by its position in the compositor's layout and its scale.
#pragma once

#include <vector>

#include "picture/image.h"

namespace tolvane::platform::wayland {

// One output as read: where the compositor lays it out (logical pixels, as
// wl_output reports it), its scale, and its pixels (device pixels).
struct OutputShot {
  int x = 0, y = 0;
  int scale = 1;
  Image pixels;
};

// Where an output lies in the combined picture, in its device pixels.
struct OutputPlace {
  IRect area;
  int scale = 1;
};

// The places of the outputs in one picture at the largest scale among them:
// position times that scale, size as read times that scale over the
// output's own. The picture's top-left corner is the layout's.
std::vector<OutputPlace> placeOutputs(const std::vector<OutputShot>& shots);

// The output nearest the layout's top-left corner: the topmost, of those
// the leftmost. 0 when there is none.
std::size_t topLeftOutput(const std::vector<OutputPlace>& places);

// The outputs combined: outputs at the largest scale keep their pixels 1:1,
// others are enlarged to it (nearest pixel). What no output covers is black.
// An empty picture when there is no output.
Image combineOutputs(const std::vector<OutputShot>& shots);

}  // namespace tolvane::platform::wayland
