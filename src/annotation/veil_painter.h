// Translucent rectangle fill on the window's canvas: the dimming veil.
#pragma once

#include "platform/surface.h"

namespace tolvane::annotation {

constexpr Argb kVeil = 0x80222222u;  // the dimming veil

class VeilPainter {
 public:
  void attach(platform::Surface& canvas) { canvas_ = &canvas; }
  // Blends `color` (0xAARRGGBB) over the rectangle; nothing before attach.
  void fill(Argb color, float left, float top, float width, float height) {
    if (canvas_) canvas_->fillArgb(color, left, top, width, height);
  }

 private:
  platform::Surface* canvas_ = nullptr;
};

}  // namespace tolvane::annotation
