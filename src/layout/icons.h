// The pictures the controls show (the toolbar's icons, the handle, the size
// chooser's faces) and the window icon, described once as figures in each
// picture's own pixel grid. Each view draws them with its own toolkit.
#pragma once

#include <optional>
#include <vector>

#include "platform/controls.h"

namespace tolvane::layout {

struct IconPoint {
  float x = 0, y = 0;
};

// One step of a figure's outline: a move starts a new part, a line or a
// cubic curve goes on from the last point, a close goes back to the part's start.
struct IconStep {
  enum class Kind { MoveTo, LineTo, CubicTo, Close };
  Kind kind = Kind::MoveTo;
  IconPoint to;      // where the step ends (not for Close)
  IconPoint c1, c2;  // a curve's control points
};

enum class IconOutline { Path, Rect, RoundedRect, Ellipse };

// A stroke: its colour and width; its caps and joins are round.
struct IconPen {
  ColorRef color = 0;
  float width = 1;
};

// One figure: filled first (a path's parts together, by the even-odd rule),
// then stroked, each when given.
struct IconFigure {
  IconOutline outline = IconOutline::Path;
  std::vector<IconStep> steps;     // a Path's outline
  float x = 0, y = 0, w = 0, h = 0;  // a Rect's, RoundedRect's or Ellipse's box
  float radius = 0;                // a RoundedRect's corners
  std::optional<ColorRef> fill;
  std::optional<IconPen> pen;
};

// A picture of width x height pixels: the background (transparent when none)
// and the figures over it in order, the whole mirrored left to right when asked.
struct Icon {
  int width = 0, height = 0;
  std::optional<ColorRef> background;
  bool mirrored = false;
  std::vector<IconFigure> figures;
};

// The picture `id` shows; 0 x 0 and empty for PictureId::None.
const Icon& iconOf(platform::PictureId id);

// The program's 16 x 16 window icon.
const Icon& windowIcon();

}  // namespace tolvane::layout
