// Translucent rectangle fill on the window's device context.
#pragma once

#include "platform/surface.h"

namespace tolvane::annotation {

constexpr Argb kVeil = 0x80222222u;  // the dimming veil

class GDIP {
 public:
  void Init(platform::Surface& dc) { Graphics = &dc; }
  // Blends `color` (0xAARRGGBB) over the rectangle; nothing before Init.
  void DrawRect(Argb color, float left, float top, float width, float height) {
    if (Graphics) Graphics->fillArgb(color, left, top, width, height);
  }

 private:
  platform::Surface* Graphics = nullptr;
};

}  // namespace tolvane::annotation
