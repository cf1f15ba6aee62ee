// Reads the sample desktop picture (binary PPM) for the benchmarks.
#pragma once

#include <string>

#include "picture/image.h"

namespace tolvane::bench {

// An empty picture when the file cannot be read.
Image readPpm(const std::string& path);

// The sample picture at w x h: bench/out/bg_WxH.ppm if present, else a generated one.
Image samplePicture(int w, int h);

}  // namespace tolvane::bench
