// The private X server: Xvfb started and stopped, the picture on its root
// window and read back, and the pictures the tests compare.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QImage>
#include <cstdlib>

#include "harness.h"
#include "harness_x11.h"
#include "picture/raster_surface.h"

namespace tolvane::e2e {
namespace {

// How the root window stores a pixel: bits per pixel and TrueColor masks.
struct PixelLayout {
  int bitsPerPixel = 0;
  std::uint32_t red = 0, green = 0, blue = 0;
  bool trueColor() const { return red && green && blue && (bitsPerPixel == 16 || bitsPerPixel == 32); }
  int stride(int width) const { return (width * bitsPerPixel + 31) / 32 * 4; }
};

PixelLayout layoutOf(xcb_connection_t* c, xcb_screen_t* s) {
  PixelLayout l;
  for (auto f = xcb_setup_pixmap_formats_iterator(xcb_get_setup(c)); f.rem; xcb_format_next(&f))
    if (f.data->depth == s->root_depth) l.bitsPerPixel = f.data->bits_per_pixel;
  for (auto d = xcb_screen_allowed_depths_iterator(s); d.rem; xcb_depth_next(&d))
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
      if (v.data->visual_id == s->root_visual && v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR) {
        l.red = v.data->red_mask;
        l.green = v.data->green_mask;
        l.blue = v.data->blue_mask;
      }
  return l;
}

int lowBit(std::uint32_t mask) { return __builtin_ctz(mask); }
int bitCount(std::uint32_t mask) { return __builtin_popcount(mask); }

// An 8-bit channel into a mask: its top bits into a narrower one, the bits
// repeated into a wider one; and back the same way.
std::uint32_t packChannel(std::uint32_t v8, std::uint32_t mask) {
  const int bits = bitCount(mask);
  const std::uint32_t v = bits <= 8 ? v8 >> (8 - bits) : (v8 << (bits - 8)) | (v8 >> (16 - bits));
  return (v << lowBit(mask)) & mask;
}
std::uint32_t unpackChannel(std::uint32_t p, std::uint32_t mask) {
  const int bits = bitCount(mask);
  std::uint32_t v = (p & mask) >> lowBit(mask);
  if (bits >= 8) return v >> (bits - 8);
  std::uint32_t out = 0;
  for (int filled = 0; filled < 8; filled += bits) out = (out << bits) | v;
  return (out >> (((8 + bits - 1) / bits) * bits - 8)) & 0xFF;
}

std::uint32_t pack(Argb c, const PixelLayout& l) {
  return packChannel((c >> 16) & 0xFF, l.red) | packChannel((c >> 8) & 0xFF, l.green) | packChannel(c & 0xFF, l.blue);
}
Argb unpack(std::uint32_t p, const PixelLayout& l) {
  return 0xFF000000u | unpackChannel(p, l.red) << 16 | unpackChannel(p, l.green) << 8 | unpackChannel(p, l.blue);
}

}  // namespace

XServer::XServer(int width, int height, int depth) : width_(width), height_(height), depth_(depth) {
  int p[2];
  if (pipe(p)) return;
  fcntl(p[0], F_SETFD, FD_CLOEXEC);
  // -displayfd picks a free display and writes its number; -noreset keeps the
  // root picture when the last client goes.
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
  pid_ = spawn({"Xvfb", "-displayfd", std::to_string(p[1]), "-screen", "0", screen, "-noreset", "-nolisten", "tcp"},
               {}, -1, -1, open("/dev/null", O_WRONLY | O_CLOEXEC));
  close(p[1]);
  pollfd f{p[0], POLLIN, 0};
  std::string num;
  while (pid_ > 0 && poll(&f, 1, 10000) > 0) {
    char c;
    if (read(p[0], &c, 1) != 1 || c == '\n') break;
    num += c;
  }
  close(p[0]);
  if (!num.empty()) display_ = ":" + num;
}

XServer::~XServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int st;
    if (!waitUntil([&] { return waitpid(pid_, &st, WNOHANG) == pid_; }, 3s)) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &st, 0);
    }
  }
}

bool XServer::setRoot(const Image& pic) {
  xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return false;
  }
  xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const PixelLayout layout = layoutOf(c, s);
  if (!layout.trueColor()) {
    xcb_disconnect(c);
    return false;
  }
  const xcb_pixmap_t pm = xcb_generate_id(c);
  xcb_create_pixmap(c, s->root_depth, pm, s->root, static_cast<uint16_t>(pic.width()),
                    static_cast<uint16_t>(pic.height()));
  const xcb_gcontext_t gc = xcb_generate_id(c);
  xcb_create_gc(c, gc, pm, 0, nullptr);
  // Row bands keep each request under the server's size limit.
  const int stride = layout.stride(pic.width());
  const int band = std::max(1, 262144 / std::max(stride, 1));
  std::vector<uint8_t> rows;
  for (int y = 0; y < pic.height(); y += band) {
    const int h = std::min(band, pic.height() - y);
    rows.assign(static_cast<std::size_t>(stride) * h, 0);
    for (int row = 0; row < h; ++row)
      for (int x = 0; x < pic.width(); ++x) {
        const std::uint32_t p = pack(pic.pixel(x, y + row), layout);
        uint8_t* d = rows.data() + static_cast<std::size_t>(row) * stride + x * layout.bitsPerPixel / 8;
        std::memcpy(d, &p, static_cast<std::size_t>(layout.bitsPerPixel / 8));  // the server's own byte order
      }
    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pm, gc, static_cast<uint16_t>(pic.width()), static_cast<uint16_t>(h), 0,
                  static_cast<int16_t>(y), 0, s->root_depth, static_cast<uint32_t>(rows.size()), rows.data());
  }
  xcb_change_window_attributes(c, s->root, XCB_CW_BACK_PIXMAP, &pm);
  xcb_clear_area(c, 0, s->root, 0, 0, 0, 0);
  xcb_free_gc(c, gc);
  xcb_free_pixmap(c, pm);
  // A round trip makes sure the server has done all of the above.
  free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  xcb_disconnect(c);
  return grab() == shown(pic);
}

Image XServer::shown(const Image& pic) const {
  xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
  Image out;
  if (!xcb_connection_has_error(c)) {
    const PixelLayout layout = layoutOf(c, xcb_setup_roots_iterator(xcb_get_setup(c)).data);
    if (layout.trueColor()) out = Image(pic.width(), pic.height());
    if (!out.isNull())
      for (int y = 0; y < pic.height(); ++y)
      for (int x = 0; x < pic.width(); ++x) out.setPixel(x, y, unpack(pack(pic.pixel(x, y), layout), layout));
  }
  xcb_disconnect(c);
  return out;
}

Image XServer::grab() const {
  xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
  Image out;
  if (!xcb_connection_has_error(c)) {
    xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const PixelLayout layout = layoutOf(c, s);
    if (!layout.trueColor()) {
      xcb_disconnect(c);
      return {};
    }
    const int stride = layout.stride(width_);
    out = Image(width_, height_);
    const int band = 256;
    for (int y = 0; y < height_; y += band) {
      const int h = std::min(band, height_ - y);
      auto* r = xcb_get_image_reply(c,
                                    xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, s->root, 0, static_cast<int16_t>(y),
                                                  static_cast<uint16_t>(width_), static_cast<uint16_t>(h), ~0u),
                                    nullptr);
      if (!r) {
        out = {};
        break;
      }
      const uint8_t* d = xcb_get_image_data(r);
      for (int row = 0; row < h; ++row)
        for (int x = 0; x < width_; ++x) {
          std::uint32_t p = 0;
          std::memcpy(&p, d + static_cast<std::size_t>(row) * stride + x * layout.bitsPerPixel / 8,
                      static_cast<std::size_t>(layout.bitsPerPixel / 8));
          out.setPixel(x, y + row, unpack(p, layout));
        }
      free(r);
    }
  }
  xcb_disconnect(c);
  return out;
}

Image knownPicture(int w, int h) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const unsigned r = (x * 3 + (y / 16) * 40) & 0xFF, g = (y * 5 + (x / 16) * 30) & 0xFF, b = (x ^ y) & 0xFF;
      img.setPixel(x, y, 0xFF000000u | r << 16 | g << 8 | b);
    }
  return img;
}

Image veiled(const Image& picture) {
  Image out(picture.width(), picture.height());
  picture::raster::veilFrom(out, picture, picture.rect(), 0x80222222u);
  return out;
}

Image decodePng(const std::string& bytes) {
  QImage q;
  if (!q.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()), "PNG")) return {};
  q = q.convertToFormat(QImage::Format_RGB32);
  Image out(q.width(), q.height());
  for (int y = 0; y < q.height(); ++y) {
    const auto* line = reinterpret_cast<const Argb*>(q.constScanLine(y));
    for (int x = 0; x < q.width(); ++x) out.setPixel(x, y, line[x] | 0xFF000000u);
  }
  return out;
}

bool savePng(const Image& img, const std::string& path) {
  QImage q(reinterpret_cast<const uchar*>(img.constBits()), img.width(), img.height(), img.width() * 4,
           QImage::Format_RGB32);
  return q.save(QString::fromStdString(path), "PNG");
}

}  // namespace tolvane::e2e
