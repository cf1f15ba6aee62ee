// What the in-memory canvas needs from the real window: text glyphs and a
// place to show what changed.
#pragma once

#include <string_view>

#include "picture/image.h"

namespace tolvane::picture {

class TextEngine {
 public:
  virtual ~TextEngine() = default;
  virtual float width(std::string_view utf8, float points) const = 0;
  // The height a line of text may cover, for repainting what it drew: 1.6
  // times the font's pixel size at 96 dpi unless the engine draws larger.
  virtual double lineHeight(float points) const { return points * 96.0 / 72.0 * 1.6; }
  // Draws text with its top-left at (x, y) into `target`, whose origin lies at
  // (originX, originY) of the window; transparent background.
  virtual void draw(Image& target, int originX, int originY, int x, int y, std::string_view utf8,
                    float points, ColorRef color) const = 0;
};

class Presenter {
 public:
  virtual ~Presenter() = default;
  virtual void invalidate(const IRect& area) = 0;  // show this area at the next paint
  virtual void flush() = 0;                        // paint what is pending now
};

}  // namespace tolvane::picture
