#include "annotation/shapes.h"

#include <cmath>

#include "picture/rounding.h"

namespace tolvane::annotation {

void drawRectangle(picture::Surface& dc, float x1, float y1, float x2, float y2, ColorRef color) {
  dc.line(x1, y1, x2, y2, color, true);
}

void drawEllipse(picture::Surface& dc, float x1, float y1, float x2, float y2, ColorRef color) {
  dc.ellipse(roundEven(x1), roundEven(y1), roundEven(x2), roundEven(y2), color);
}

void drawArrow(picture::Surface& dc, float x0, float y0, float x1, float y1, float barbLength, ColorRef color) {
  const float dx = x1 - x0, dy = y1 - y0;
  const double len = std::sqrt(static_cast<double>(dy) * dy + static_cast<double>(dx) * dx);
  if (!(len > 1e-10)) return;
  const double ux = static_cast<double>(x0) - x1, uy = static_cast<double>(y0) - y1;
  const auto ax = static_cast<float>(x1 + barbLength * (ux + uy / 2) / len);
  const auto ay = static_cast<float>(y1 + barbLength * (uy - ux / 2) / len);
  const auto bx = static_cast<float>(x1 + barbLength * (ux - uy / 2) / len);
  const auto by = static_cast<float>(y1 + barbLength * (uy + ux / 2) / len);
  dc.line(ax, ay, x1, y1, color, false);
  dc.line(bx, by, x1, y1, color, false);
  dc.line(x0, y0, x1, y1, color, false);
}

void ShapeTool::press(float x, float y) {
  x0_ = x;
  y0_ = y;
}

void ShapeTool::reach(float x, float y) {
  const selection::Selection& s = region_.shape();
  x1_ = s.holdX(x);
  y1_ = s.holdY(y);
  color_ = style_.style().color;
}

void ShapeTool::move(float x, float y) {
  dc_.clear();
  reach(x, y);
  draw();
}

bool ShapeTool::release(float x, float y) {
  reach(x, y);
  draw();
  return true;
}

}  // namespace tolvane::annotation
