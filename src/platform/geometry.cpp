#include "platform/geometry.h"

#include <charconv>

namespace tolvane {

std::string shortestText(float v) {
  if (v == 0.0f) return "0";  // also turns -0 into "0"
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

}  // namespace tolvane
