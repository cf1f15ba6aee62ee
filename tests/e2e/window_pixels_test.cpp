// Pictures put straight into an X window arrive exactly, however the server's
// request size cuts them, and only where the window stores pixels as they do.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#include "harness.h"
#include "platform/qt/window_pixels_x11.h"

namespace tolvane::e2e {
namespace {

// A picture in which every pixel differs from its neighbours.
Image pattern(int w, int h) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      img.setPixel(x, y, 0xFF000000u | static_cast<Argb>((x * 7 + y * 131) & 0xFF) << 16 |
                             static_cast<Argb>((x * 3) & 0xFF) << 8 | static_cast<Argb>((y * 5) & 0xFF));
  return img;
}

struct XWindow {
  xcb_connection_t* c = nullptr;
  xcb_window_t id = 0;
  XWindow(const std::string& display, int w, int h) {
    c = xcb_connect(display.c_str(), nullptr);
    xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    id = xcb_generate_id(c);
    const std::uint32_t values[] = {1};  // override-redirect: shown where asked
    xcb_create_window(c, XCB_COPY_FROM_PARENT, id, s->root, 0, 0, static_cast<std::uint16_t>(w),
                      static_cast<std::uint16_t>(h), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, s->root_visual,
                      XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(c, id);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  }
  ~XWindow() { xcb_disconnect(c); }
  // The window's pixels, read back from the server.
  Image read(int w, int h) const {
    Image out(w, h);
    auto* r = xcb_get_image_reply(c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, id, 0, 0, static_cast<std::uint16_t>(w),
                                                   static_cast<std::uint16_t>(h), ~0u),
                                  nullptr);
    if (!r) return Image();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        Argb p = 0;
        std::memcpy(&p, xcb_get_image_data(r) + (static_cast<std::size_t>(y) * w + x) * 4, 4);
        out.setPixel(x, y, 0xFF000000u | (p & 0xFFFFFFu));
      }
    free(r);
    return out;
  }
};

struct PutCase {
  const char* name;
  std::size_t requestBytes;  // 0: the server's own limit
};

class WindowPixelsPut : public ::testing::TestWithParam<PutCase> {};

TEST_P(WindowPixelsPut, ArrivesExactlyWhereItWasPut) {
  XServer server(320, 240);
  ASSERT_TRUE(server.ok());
  XWindow window(server.display(), 320, 240);
  platform::qt::WindowPixels pixels(window.c, window.id);
  ASSERT_TRUE(pixels.usable());
  if (GetParam().requestBytes) pixels.limitRequestBytes(GetParam().requestBytes);
  const Image whole = pattern(320, 240), part = pattern(150, 70);
  pixels.put(whole, 0, 0);
  pixels.put(part, 101, 53);  // over the first, at an odd place
  Image want = whole;
  want.blit(101, 53, part, 0, 0, 150, 70);
  EXPECT_TRUE(window.read(320, 240) == want);
}

INSTANTIATE_TEST_SUITE_P(RequestSizes, WindowPixelsPut,
                         ::testing::Values(PutCase{"ServersOwn", 0},
                                           PutCase{"ThreeRowsARequest", 320 * 4 * 3 + 8},
                                           PutCase{"RowsInPieces", 100 * 4}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(WindowPixels, IsNotUsedWhereTheWindowStoresPixelsOtherwise) {
  XServer server(64, 48, 16);
  ASSERT_TRUE(server.ok());
  XWindow window(server.display(), 64, 48);
  EXPECT_FALSE(platform::qt::WindowPixels(window.c, window.id).usable());
  EXPECT_FALSE(platform::qt::WindowPixels(nullptr, window.id).usable());
}

}  // namespace
}  // namespace tolvane::e2e
