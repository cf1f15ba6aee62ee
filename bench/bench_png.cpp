// The PNG writer against Qt's default PNG writer on the same 4K picture:
// median time and size of each, and their ratios.
#include <QBuffer>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "platform/codecs/encoders.h"
#include "ppm.h"

namespace {

template <typename F>
double medianMs(int runs, F&& f) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    const auto a = std::chrono::steady_clock::now();
    f();
    t.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count());
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tolvane;
  const Image pic = argc > 1 ? bench::readPpm(argv[1]) : bench::samplePicture(3840, 2160);
  if (pic.isNull()) {
    std::fprintf(stderr, "bench_png: cannot read the picture\n");
    return 1;
  }
  platform::codecs::LibEncoders enc;
  std::size_t ours = 0;
  const double tOurs = medianMs(7, [&] { ours = enc.encode(platform::Format::Png, pic, {}).bytes.size(); });
  const QImage q(reinterpret_cast<const uchar*>(pic.constBits()), pic.width(), pic.height(), pic.width() * 4,
                 QImage::Format_RGB32);
  qint64 qt = 0;
  const double tQt = medianMs(5, [&] {
    QBuffer b;
    b.open(QIODevice::WriteOnly);
    q.save(&b, "PNG");
    qt = b.size();
  });
  std::printf("PNG %dx%d  ours: %.1f ms, %zu bytes   Qt default: %.1f ms, %lld bytes   time %.2fx, size %.3fx\n",
              pic.width(), pic.height(), tOurs, ours, tQt, static_cast<long long>(qt), tOurs / tQt,
              static_cast<double>(ours) / static_cast<double>(qt));
  return 0;
}
