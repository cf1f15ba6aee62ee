// The shape tools and their drawing primitives. One draw function per tool
// draws the preview and the committed shape; only the window's persistence
// switch tells them apart.
#pragma once

#include "annotation/style_panel.h"
#include "annotation/tool.h"
#include "picture/surface.h"
#include "selection/region.h"

namespace tolvane::annotation {

constexpr float kArrowLen = 10.0f;

void drawRectangle(picture::Surface& dc, float x1, float y1, float x2, float y2, ColorRef color);
// Ellipse in the box, through a one-pixel solid line; corners rounded half to even.
void drawEllipse(picture::Surface& dc, float x1, float y1, float x2, float y2, ColorRef color);
// Shaft from (x0, y0) to (x1, y1) with two barbs at the tip; nothing at zero length.
void drawArrow(picture::Surface& dc, float x0, float y0, float x1, float y1, float barbLength, ColorRef color);

// A shape from the press to the pointer, its end held inside the region, in
// the current colour.
class ShapeTool : public Tool {
 public:
  ShapeTool(picture::Surface& dc, const selection::Region& region, const StylePanel& style)
      : dc_(dc), region_(region), style_(style) {}

  void press(float x, float y) override;
  void move(float x, float y) override;
  bool release(float x, float y) override;

 protected:
  void reach(float x, float y);
  picture::Surface& dc_;
  float x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0;
  ColorRef color_ = 0;

 private:
  const selection::Region& region_;
  const StylePanel& style_;
};

class RectangleTool : public ShapeTool {
 public:
  using ShapeTool::ShapeTool;
  void draw() const override { drawRectangle(dc_, x0_, y0_, x1_, y1_, color_); }
};

class EllipseTool : public ShapeTool {
 public:
  using ShapeTool::ShapeTool;
  void draw() const override { drawEllipse(dc_, x0_, y0_, x1_, y1_, color_); }
};

class ArrowTool : public ShapeTool {
 public:
  using ShapeTool::ShapeTool;
  void draw() const override { drawArrow(dc_, x0_, y0_, x1_, y1_, kArrowLen, color_); }
};

}  // namespace tolvane::annotation
