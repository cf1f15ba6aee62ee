#pragma once

#include <cstdint>

#include "picture/image.h"

namespace tolvane::selection {

// Splits a colour value 0x00BBGGRR into red, green and blue. Division
// truncates toward zero and the remainder keeps the dividend's sign, so
// -1 gives (-1, 0, 0).
inline void splitColor(ColorRef c, std::int32_t& red, std::int32_t& green, std::int32_t& blue) {
  red = c % 256;
  green = (c / 256) % 256;
  blue = (c / 65536) % 256;
}

}  // namespace tolvane::selection
