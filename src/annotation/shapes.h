// The drawing primitives. The same calls draw the preview and the committed
// shape; only the window's persistence switch tells them apart.
#pragma once

#include "platform/surface.h"
#include "session/state.h"

namespace tolvane::annotation {

constexpr float kArrowLen = 10.0f;

void drawRectangle(platform::Surface& dc, float x1, float y1, float x2, float y2, ColorRef color);
// Ellipse in the box, through a one-pixel solid pen; corners rounded half to even.
void drawEllipse(platform::Surface& dc, float x1, float y1, float x2, float y2, ColorRef color);
// Shaft from (x0, y0) to (X1, Y1) with two barbs at the tip; nothing at zero length.
void Arrow(platform::Surface& Pic, float x0, float y0, float X1, float Y1, float ArrowLen, ColorRef color);

// The chosen tool's shape from the start to the end point (text draws nothing).
void drawShape(session::Tool tool, platform::Surface& dc, float x0, float y0, float x1, float y1, ColorRef color);

}  // namespace tolvane::annotation
