#include "ppm.h"

#include <cstdio>
#include <fstream>
#include <vector>

namespace tolvane::bench {

Image readPpm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  if (!(in >> magic >> w >> h >> max) || magic != "P6" || max != 255 || w <= 0 || h <= 0) return {};
  in.get();
  std::vector<unsigned char> rgb(static_cast<std::size_t>(w) * h * 3);
  if (!in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()))) return {};
  Image img(w, h);
  Argb* p = img.bits();
  for (std::size_t i = 0; i < img.pixelCount(); ++i)
    p[i] = 0xFF000000u | (Argb{rgb[3 * i]} << 16) | (Argb{rgb[3 * i + 1]} << 8) | rgb[3 * i + 2];
  return img;
}

Image samplePicture(int w, int h) {
  const std::string path = std::string(TOLVANE_BENCH_OUT) + "/bg_" + std::to_string(w) + "x" + std::to_string(h) + ".ppm";
  Image img = readPpm(path);
  if (!img.isNull()) return img;
  std::fprintf(stderr, "bench: %s missing (run bench/run.sh); using a generated gradient\n", path.c_str());
  img = Image(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      img.setPixel(x, y, 0xFF000000u | static_cast<Argb>((x * 255 / w) << 16) | static_cast<Argb>((y * 255 / h) << 8) |
                             static_cast<Argb>((x ^ y) & 0xFF));
  return img;
}

}  // namespace tolvane::bench
