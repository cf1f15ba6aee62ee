#include "annotation/shapes.h"

#include <cmath>

#include "platform/geometry.h"

namespace tolvane::annotation {

void drawRectangle(platform::Surface& dc, float x1, float y1, float x2, float y2, ColorRef color) {
  dc.line(x1, y1, x2, y2, color, true);
}

void drawEllipse(platform::Surface& dc, float x1, float y1, float x2, float y2, ColorRef color) {
  dc.ellipse(roundEven(x1), roundEven(y1), roundEven(x2), roundEven(y2), color);
}

void Arrow(platform::Surface& Pic, float x0, float y0, float X1, float Y1, float ArrowLen, ColorRef color) {
  const float dx = X1 - x0, dy = Y1 - y0;
  const double L = std::sqrt(static_cast<double>(dy) * dy + static_cast<double>(dx) * dx);
  if (!(L > 1e-10)) return;
  const double ux = static_cast<double>(x0) - X1, uy = static_cast<double>(y0) - Y1;
  const auto AX = static_cast<float>(X1 + ArrowLen * (ux + uy / 2) / L);
  const auto AY = static_cast<float>(Y1 + ArrowLen * (uy - ux / 2) / L);
  const auto BX = static_cast<float>(X1 + ArrowLen * (ux - uy / 2) / L);
  const auto BY = static_cast<float>(Y1 + ArrowLen * (uy + ux / 2) / L);
  Pic.line(AX, AY, X1, Y1, color, false);
  Pic.line(BX, BY, X1, Y1, color, false);
  Pic.line(x0, y0, X1, Y1, color, false);
}

void drawShape(session::Tool tool, platform::Surface& dc, float x0, float y0, float x1, float y1, ColorRef color) {
  switch (tool) {
    case session::Tool::Rectangle: drawRectangle(dc, x0, y0, x1, y1, color); break;
    case session::Tool::Ellipse: drawEllipse(dc, x0, y0, x1, y1, color); break;
    case session::Tool::Arrow: Arrow(dc, x0, y0, x1, y1, kArrowLen, color); break;
    case session::Tool::Text:
    case session::Tool::None: break;
  }
}

}  // namespace tolvane::annotation
