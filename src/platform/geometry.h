// Number text shared by the subsystems.
#pragma once

#include <string>

namespace tolvane {

// Shortest decimal text that reads back as the same single-precision value:
// 320 gives "320", 12.5 gives "12.5".
std::string shortestText(float v);

}  // namespace tolvane
