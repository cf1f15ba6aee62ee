#include "platform/wayland/output_layout.h"

#include <gtest/gtest.h>

namespace tolvane::platform::wayland {
namespace {

// An output's picture whose every pixel says which output and where.
Image marked(int w, int h, Argb tag) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, tag | static_cast<Argb>((y << 8) | x));
  return img;
}

struct PlaceCase {
  const char* name;
  std::vector<OutputShot> shots;
  std::vector<IRect> areas;
};

class PlaceOutputs : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(PlaceOutputs, PutsEachOutputWhereTheLayoutHasIt) {
  const std::vector<OutputPlace> places = placeOutputs(GetParam().shots);
  ASSERT_EQ(places.size(), GetParam().areas.size());
  for (std::size_t i = 0; i < places.size(); ++i) EXPECT_EQ(places[i].area, GetParam().areas[i]) << i;
  // The same from the copies' sizes alone, as the read places them before the pixels come.
  std::vector<OutputExtent> extents;
  for (const OutputShot& o : GetParam().shots) extents.push_back({o.x, o.y, o.scale, o.pixels.width(), o.pixels.height()});
  const std::vector<OutputPlace> early = placeOutputs(extents);
  ASSERT_EQ(early.size(), places.size());
  for (std::size_t i = 0; i < early.size(); ++i) {
    EXPECT_EQ(early[i].area, places[i].area) << i;
    EXPECT_EQ(early[i].scale, places[i].scale) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, PlaceOutputs,
    ::testing::Values(
        PlaceCase{"one", {{0, 0, 1, Image(40, 30)}}, {{0, 0, 40, 30}}},
        PlaceCase{"sideBySide", {{0, 0, 1, Image(40, 30)}, {40, 0, 1, Image(20, 10)}}, {{0, 0, 40, 30}, {40, 0, 60, 10}}},
        // The layout's top-left corner becomes the picture's origin.
        PlaceCase{"negativeOrigin", {{-20, -5, 1, Image(20, 10)}, {0, 0, 1, Image(40, 30)}},
                  {{0, 0, 20, 10}, {20, 5, 60, 35}}},
        // Scale 2 everywhere: positions double, pixels stay 1:1.
        PlaceCase{"allScaled", {{0, 0, 2, Image(80, 60)}, {40, 0, 2, Image(40, 20)}}, {{0, 0, 80, 60}, {80, 0, 120, 20}}},
        // Mixed: the scale-1 output is enlarged to scale 2.
        PlaceCase{"mixed", {{0, 0, 2, Image(80, 60)}, {40, 0, 1, Image(20, 10)}}, {{0, 0, 80, 60}, {80, 0, 120, 20}}}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(CombineOutputs, KeepsEveryPixelOfSideBySideOutputs) {
  const Image left = marked(8, 6, 0xFF100000u), right = marked(5, 4, 0xFF200000u);
  const Image all = combineOutputs({{0, 0, 1, left}, {8, 0, 1, right}});
  ASSERT_EQ(all.width(), 13);
  ASSERT_EQ(all.height(), 6);
  EXPECT_EQ(all.copy({0, 0, 8, 6}), left);
  EXPECT_EQ(all.copy({8, 0, 13, 4}), right);
  // Below the shorter output no output shows: black, not made-up pixels.
  EXPECT_EQ(all.pixel(8, 4), 0xFF000000u);
  EXPECT_EQ(all.pixel(12, 5), 0xFF000000u);
}

TEST(CombineOutputs, EnlargesALowerScaleOutputByWholePixels) {
  const Image sharp = marked(8, 8, 0xFF100000u), plain = marked(3, 2, 0xFF200000u);
  const Image all = combineOutputs({{0, 0, 2, sharp}, {4, 0, 1, plain}});
  ASSERT_EQ(all.width(), 14);
  EXPECT_EQ(all.copy({0, 0, 8, 8}), sharp);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(all.pixel(8 + x, y), plain.pixel(x / 2, y / 2)) << x << "," << y;
}

TEST(TopLeftOutput, TakesTheTopmostThenTheLeftmost) {
  const auto at = [](int left, int top) { return OutputPlace{{left, top, left + 10, top + 10}, 1}; };
  EXPECT_EQ(topLeftOutput({}), 0u);
  EXPECT_EQ(topLeftOutput({at(10, 0), at(0, 0)}), 1u);
  EXPECT_EQ(topLeftOutput({at(0, 5), at(10, 0)}), 1u);  // higher wins over further left
  EXPECT_EQ(topLeftOutput({at(0, 0), at(10, 0), at(0, 10)}), 0u);
}

TEST(CombineOutputs, NoOutputGivesNoPicture) { EXPECT_TRUE(combineOutputs({}).isNull()); }

}  // namespace
}  // namespace tolvane::platform::wayland
