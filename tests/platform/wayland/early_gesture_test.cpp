#include "platform/wayland/early_gesture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace tolvane::platform::wayland {
namespace {

// ---- the veil over an output's copy, in its own memory ----

// The veil's blend per channel, worked out on its own: (c*a + p*(255-a) + 127) / 255.
Argb blended(Argb p, Argb veil) {
  const std::uint32_t a = veil >> 24;
  Argb out = 0xFF000000u;
  for (int shift : {0, 8, 16}) {
    const std::uint32_t c = (veil >> shift) & 0xFF, s = (p >> shift) & 0xFF;
    out |= ((c * a + s * (255 - a) + 127) / 255) << shift;
  }
  return out;
}

struct VeilCase {
  const char* name;
  int width, height, padding;  // padding: bytes after each row
  bool yInvert;
};

class VeilInPlace : public ::testing::TestWithParam<VeilCase> {};

TEST_P(VeilInPlace, LeavesTheVeiledPictureTopRowFirstAndThePaddingAlone) {
  const VeilCase& c = GetParam();
  const int stride = c.width * 4 + c.padding;
  // Top row first, with stray alpha as an XRGB copy may hold.
  std::vector<Argb> picture;
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) picture.push_back(static_cast<Argb>((x * 37 + y * 101) * 0x010305u) ^ (y << 24));
  std::vector<std::uint8_t> memory(static_cast<std::size_t>(stride) * c.height, 0xAB);
  for (int y = 0; y < c.height; ++y) {
    const int stored = c.yInvert ? c.height - 1 - y : y;
    std::memcpy(&memory[static_cast<std::size_t>(stored) * stride], &picture[static_cast<std::size_t>(y) * c.width],
                c.width * 4u);
  }
  constexpr Argb kVeil = 0x80222222u;
  veilInPlace(memory.data(), c.width, c.height, stride, c.yInvert, kVeil);
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) {
      Argb got;
      std::memcpy(&got, &memory[static_cast<std::size_t>(y) * stride + x * 4u], 4);
      ASSERT_EQ(got, blended(picture[static_cast<std::size_t>(y) * c.width + x], kVeil)) << x << "," << y;
    }
    for (int i = 0; i < c.padding; ++i) ASSERT_EQ(memory[static_cast<std::size_t>(y) * stride + c.width * 4u + i], 0xAB);
  }
}

INSTANTIATE_TEST_SUITE_P(Copies, VeilInPlace,
                         ::testing::Values(VeilCase{"topFirst", 7, 5, 0, false},
                                           VeilCase{"bottomFirstOddRows", 7, 5, 0, true},
                                           VeilCase{"bottomFirstEvenRows", 3, 4, 8, true},
                                           VeilCase{"oneRow", 9, 1, 4, true}),
                         [](const auto& tc) { return std::string(tc.param.name); });

// The copy taken into a larger picture at an offset, opaque and top row
// first, and the copy veiled in its own memory (or left as it was).
class TakeCopy : public ::testing::TestWithParam<VeilCase> {};

TEST_P(TakeCopy, PutsTheCopyInThePictureAndVeilsItWhereItLies) {
  const VeilCase& c = GetParam();
  const int stride = c.width * 4 + c.padding;
  std::vector<std::uint8_t> memory(static_cast<std::size_t>(stride) * c.height, 0xAB);
  std::vector<Argb> stored;  // as the compositor left it, row by row in memory order
  for (int r = 0; r < c.height; ++r)
    for (int x = 0; x < c.width; ++x) {
      const Argb p = static_cast<Argb>((x * 53 + r * 29) * 0x010307u) ^ (static_cast<Argb>(r) << 24);
      stored.push_back(p);
      std::memcpy(&memory[static_cast<std::size_t>(r) * stride + x * 4u], &p, 4);
    }
  const auto original = [&](int x, int y) {
    return stored[static_cast<std::size_t>(c.yInvert ? c.height - 1 - y : y) * c.width + x];
  };
  constexpr Argb kVeil = 0x80222222u, kAround = 0xFF0000FFu;
  for (const bool veiled : {false, true}) {
    std::vector<std::uint8_t> copy = memory;
    Image picture(c.width + 5, c.height + 3, kAround);
    takeCopy(copy.data(), c.width, c.height, stride, c.yInvert, picture, 2, 1, veiled ? &kVeil : nullptr);
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x) {
        const bool inside = x >= 2 && x < 2 + c.width && y >= 1 && y < 1 + c.height;
        ASSERT_EQ(picture.pixel(x, y), inside ? original(x - 2, y - 1) | 0xFF000000u : kAround) << x << "," << y;
      }
    for (int r = 0; r < c.height; ++r) {
      for (int x = 0; x < c.width; ++x) {
        Argb got;
        std::memcpy(&got, &copy[static_cast<std::size_t>(r) * stride + x * 4u], 4);
        // Veiled, the memory holds the picture top row first; else it is untouched.
        ASSERT_EQ(got, veiled ? blended(original(x, r), kVeil) : stored[static_cast<std::size_t>(r) * c.width + x])
            << x << "," << r << (veiled ? " veiled" : "");
      }
      for (int i = 0; i < c.padding; ++i) ASSERT_EQ(copy[static_cast<std::size_t>(r) * stride + c.width * 4u + i], 0xAB);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Copies, TakeCopy,
                         ::testing::Values(VeilCase{"topFirst", 7, 5, 0, false},
                                           VeilCase{"bottomFirstOddRows", 7, 5, 0, true},
                                           VeilCase{"bottomFirstEvenRows", 3, 4, 8, true},
                                           VeilCase{"oneRow", 9, 1, 4, true}),
                         [](const auto& tc) { return std::string(tc.param.name); });

// ---- the seat's events on the surfaces, as the early input ----

// What the capture window is handed: each event with its button and place.
struct Recorder : EventSink {
  std::vector<std::string> log;
  void add(const char* what, const Mouse& m) {
    log.push_back(std::string(what) + " " + std::to_string(m.button) + " " + std::to_string(static_cast<int>(m.x)) +
                  "," + std::to_string(static_cast<int>(m.y)));
  }
  void mouseDown(CtlRef, const Mouse& m) override { add("down", m); }
  void mouseMove(CtlRef, const Mouse& m) override { add("move", m); }
  void mouseUp(CtlRef, const Mouse& m) override { add("up", m); }
  void dblClick(CtlRef) override { log.push_back("dblclick"); }
  void click(CtlRef) override { log.push_back("click"); }
  void textChanged(CtlRef, const std::string&) override { log.push_back("text"); }
  bool keyDown(CtlRef, const Key& k) override {
    log.push_back(k.code == KeyCode::Escape ? "esc" : "key");
    return true;
  }
};

// Two outputs: 640x480 at scale 1, and at its right one of scale 2 whose
// 320x240 surface covers 640x480 pixels of the picture.
const std::vector<SurfaceGesture::Surface> kOutputs = {{{0, 0, 640, 480}, 640, 480}, {{640, 0, 1280, 480}, 320, 240}};

struct GestureCase {
  const char* name;
  std::function<void(SurfaceGesture&)> events;
  std::vector<std::string> handedOn;
};

class Gesture : public ::testing::TestWithParam<GestureCase> {};

TEST_P(Gesture, HandsOnWhatTheUserDidInThePicturesPixels) {
  SurfaceGesture g(kOutputs);
  GetParam().events(g);
  Recorder r;
  g.input().replay(r);
  EXPECT_EQ(r.log, GetParam().handedOn);
}

INSTANTIATE_TEST_SUITE_P(
    Seat, Gesture,
    ::testing::Values(
        GestureCase{"quickDragOnTheFirstOutput",
                    [](SurfaceGesture& g) {
                      g.enter(0, 100.5, 100.9);
                      g.button(kBtnLeft, true);
                      g.motion(150, 140);
                      g.motion(200.25, 180.75);
                      g.button(kBtnLeft, false);
                    },
                    {"down 1 100,100", "move 1 200,180", "up 1 200,180"}},
        GestureCase{"dragHeldOnTheScaledOutput",
                    [](SurfaceGesture& g) {
                      g.enter(1, 10, 20);
                      g.button(kBtnLeft, true);
                      g.motion(30.5, 40.5);
                    },
                    {"down 1 660,40", "move 1 701,81"}},
        GestureCase{"releasedAfterLeavingStillEnds",
                    [](SurfaceGesture& g) {
                      g.enter(0, 5, 6);
                      g.button(kBtnLeft, true);
                      g.leave();
                      g.button(kBtnLeft, false);
                    },
                    {"down 1 5,6", "up 1 5,6"}},
        GestureCase{"pressBeforeThePointerIsOnUsIsNotOurs",
                    [](SurfaceGesture& g) {
                      g.button(kBtnLeft, true);
                      g.button(kBtnLeft, false);
                    },
                    {}},
        GestureCase{"otherButtonsStartNothing",
                    [](SurfaceGesture& g) {
                      g.enter(0, 5, 6);
                      g.button(kBtnRight, true);
                      g.button(kBtnMiddle, true);
                      g.motion(50, 60);
                    },
                    {}},
        GestureCase{"escapeOutweighsTheDrag",
                    [](SurfaceGesture& g) {
                      g.enter(0, 5, 6);
                      g.button(kBtnLeft, true);
                      g.key(kKeyEsc, true);
                    },
                    {"esc"}},
        GestureCase{"onlyEscapePressedCounts",
                    [](SurfaceGesture& g) {
                      g.key(kKeyEsc, false);
                      g.key(kKeyEsc + 1, true);
                    },
                    {}},
        GestureCase{"unknownSurfaceIsIgnored",
                    [](SurfaceGesture& g) {
                      g.enter(7, 5, 6);
                      g.button(kBtnLeft, true);
                    },
                    {}}),
    [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace tolvane::platform::wayland
