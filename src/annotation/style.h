// What the drawing tools draw with: the colour and the text size. The style
// panel owns it; its swatch and size box only show it.
#pragma once

#include "layout/design.h"

namespace tolvane::annotation {

struct Style {
  ColorRef color = layout::kStartColor;      // 0x00BBGGRR
  float textSize = layout::kStartTextSize;  // points
  friend bool operator==(const Style&, const Style&) = default;
};

}  // namespace tolvane::annotation
