// Rounding of coordinates to whole pixels, shared by the subsystems.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace tolvane {

// Nearest integer, halves to the even neighbour; saturates instead of overflowing.
inline std::int32_t roundEven(double v) {
  if (std::isnan(v)) return 0;
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  const double r = std::nearbyint(v);  // default rounding mode: to nearest, ties to even
  if (r <= lo) return std::numeric_limits<std::int32_t>::min();
  if (r >= hi) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(r);
}

}  // namespace tolvane
