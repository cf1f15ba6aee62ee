// The PNG writer against libpng at the same settings (level 4, UP filter on
// every row) and against Qt's default PNG writer, on the same 4K picture, all
// written to memory: median wall and CPU time and size of each, and the ratios.
// The runs take turns (ours, libpng, Qt, ours, ...) so that load from other
// processes falls on all three alike. Every output is decoded and must give
// back the picture's pixels exactly, or the bench fails.
#include <png.h>
#include <time.h>
#include <zlib.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/codecs/encoders.h"
#include "ppm.h"

namespace {

using tolvane::Argb;
using tolvane::Image;
using Bytes = std::vector<std::uint8_t>;

// png_set_bgr and png_set_filler below read an Argb pixel as the bytes B, G, R, A.
static_assert(std::endian::native == std::endian::little, "the libpng writer assumes little-endian pixels");

double cpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Timings {
  std::vector<double> wall, cpu;

  template <typename F>
  void run(F&& f) {
    const double c0 = cpuMs();
    const auto a = std::chrono::steady_clock::now();
    f();
    wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count());
    cpu.push_back(cpuMs() - c0);
  }
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void appendToVector(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

// libpng, 8-bit RGB, level 4, UP filter only. The zlib strategy and memory
// level are set to ours (libpng would pick Z_FILTERED and 8 for a filtered
// picture) and IDAT chunks to our 1 MiB, so only the writer differs.
bool encodeLibpng(const Image& pic, Bytes& out) {
  out.clear();
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<png_bytep> rows(static_cast<std::size_t>(pic.height()));
  for (int y = 0; y < pic.height(); ++y)
    rows[static_cast<std::size_t>(y)] =
        reinterpret_cast<png_bytep>(const_cast<Argb*>(pic.constScanLine(y)));  // libpng copies each row before use
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, appendToVector, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(pic.width()), static_cast<png_uint_32>(pic.height()), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, 0, PNG_FILTER_UP);
  png_set_compression_level(png, 4);
  png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
  png_set_compression_mem_level(png, 9);
  png_set_compression_buffer_size(png, 1 << 20);
  png_write_info(png, info);
  png_set_bgr(png);
  png_set_filler(png, 0, PNG_FILLER_AFTER);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// The picture as tightly packed R, G, B bytes.
Bytes toRgbBytes(const Image& pic) {
  Bytes rgb;
  rgb.reserve(pic.pixelCount() * 3);
  for (std::size_t i = 0; i < pic.pixelCount(); ++i) {
    const Argb p = pic.constBits()[i];
    rgb.push_back(static_cast<std::uint8_t>(p >> 16));
    rgb.push_back(static_cast<std::uint8_t>(p >> 8));
    rgb.push_back(static_cast<std::uint8_t>(p));
  }
  return rgb;
}

// "" when `data` is a PNG of the picture's size holding exactly `rgb`, else what is wrong.
std::string checkWithLibpng(const char* what, const std::uint8_t* data, std::size_t n, const Image& pic,
                            const Bytes& rgb) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, data, n))
    return std::string(what) + ": libpng cannot read it: " + img.message;
  if (static_cast<int>(img.width) != pic.width() || static_cast<int>(img.height) != pic.height()) {
    png_image_free(&img);
    return std::string(what) + ": libpng reads a picture of another size";
  }
  img.format = PNG_FORMAT_RGB;
  Bytes got(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, got.data(), 0, nullptr))
    return std::string(what) + ": libpng fails part way: " + img.message;
  if (got != rgb) return std::string(what) + ": libpng decodes other pixels";
  return {};
}

// The same, read by Qt and compared with the picture's pixels.
std::string checkWithQt(const char* what, const std::uint8_t* data, std::size_t n, const Image& pic) {
  const QImage q = QImage::fromData(data, static_cast<int>(n), "PNG").convertToFormat(QImage::Format_RGB32);
  if (q.width() != pic.width() || q.height() != pic.height()) return std::string(what) + ": Qt cannot read it";
  for (int y = 0; y < pic.height(); ++y)
    if (std::memcmp(q.constScanLine(y), pic.constScanLine(y), static_cast<std::size_t>(pic.width()) * 4) != 0)
      return std::string(what) + ": Qt decodes other pixels in row " + std::to_string(y);
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  const Image pic = argc > 1 ? tolvane::bench::readPpm(argv[1]) : tolvane::bench::samplePicture(3840, 2160);
  if (pic.isNull()) {
    std::fprintf(stderr, "bench_png: cannot read the picture\n");
    return 1;
  }
  const QImage q(reinterpret_cast<const uchar*>(pic.constBits()), pic.width(), pic.height(), pic.width() * 4,
                 QImage::Format_RGB32);
  tolvane::platform::codecs::LibEncoders enc;
  Bytes ours, lib;
  QByteArray qt;
  bool libOk = true;
  Timings tOurs, tLib, tQt;
  constexpr int kRuns = 7;
  for (int i = 0; i < kRuns; ++i) {
    tOurs.run([&] { ours = enc.encode(tolvane::platform::Format::Png, pic, {}).bytes; });
    tLib.run([&] { libOk = encodeLibpng(pic, lib) && libOk; });
    tQt.run([&] {
      QBuffer b;
      b.open(QIODevice::WriteOnly);
      q.save(&b, "PNG");
      qt = b.data();
    });
  }
  if (!libOk) {
    std::fprintf(stderr, "bench_png: libpng could not write the picture\n");
    return 1;
  }

  const Bytes rgb = toRgbBytes(pic);
  const auto* qtData = reinterpret_cast<const std::uint8_t*>(qt.constData());
  for (const std::string& err : {checkWithLibpng("ours", ours.data(), ours.size(), pic, rgb),
                                 checkWithQt("ours", ours.data(), ours.size(), pic),
                                 checkWithLibpng("libpng", lib.data(), lib.size(), pic, rgb),
                                 checkWithLibpng("Qt", qtData, static_cast<std::size_t>(qt.size()), pic, rgb)}) {
    if (!err.empty()) {
      std::fprintf(stderr, "bench_png: %s\n", err.c_str());
      return 1;
    }
  }

  const double wO = median(tOurs.wall), wL = median(tLib.wall), wQ = median(tQt.wall);
  const double cO = median(tOurs.cpu), cL = median(tLib.cpu), cQ = median(tQt.cpu);
  const auto sO = static_cast<double>(ours.size()), sL = static_cast<double>(lib.size()),
             sQ = static_cast<double>(qt.size());
  std::printf("PNG %dx%d, medians of %d turns (ours, libpng, Qt)\n", pic.width(), pic.height(), kRuns);
  std::printf("  %-30s %8.1f ms wall %8.1f ms CPU %10zu bytes\n", "ours (level 4, UP, parallel)", wO, cO, ours.size());
  std::printf("  %-30s %8.1f ms wall %8.1f ms CPU %10zu bytes\n", "libpng (level 4, UP)", wL, cL, lib.size());
  std::printf("  %-30s %8.1f ms wall %8.1f ms CPU %10lld bytes\n", "Qt default", wQ, cQ,
              static_cast<long long>(qt.size()));
  std::printf("  ours/libpng: wall %.2fx, CPU %.2fx, size %.3fx\n", wO / wL, cO / cL, sO / sL);
  std::printf("  ours/Qt:     wall %.2fx, CPU %.2fx, size %.3fx\n", wO / wQ, cO / cQ, sO / sQ);
  std::printf("  decoded: all three give the picture's pixels exactly (libpng; ours through Qt too)\n");
  return 0;
}
