#include "platform/output_areas.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/wayland/output_layout.h"

namespace tolvane::platform {
namespace {

struct AreasCase {
  const char* name;
  std::vector<LogicalOutput> outputs;
  std::vector<IRect> areas;
};

class OutputAreas : public ::testing::TestWithParam<AreasCase> {};

TEST_P(OutputAreas, PlacesEachOutputInThePicture) {
  EXPECT_EQ(outputAreas(GetParam().outputs), GetParam().areas);
}

// The windows must show the outputs where the reader combined them.
TEST_P(OutputAreas, AgreesWithTheCombinedRead) {
  std::vector<wayland::OutputShot> shots;
  for (const LogicalOutput& o : GetParam().outputs)
    shots.push_back({o.x, o.y, o.scale, Image(o.width * o.scale, o.height * o.scale)});
  const std::vector<wayland::OutputPlace> places = wayland::placeOutputs(shots);
  const std::vector<IRect> areas = outputAreas(GetParam().outputs);
  ASSERT_EQ(places.size(), areas.size());
  for (std::size_t i = 0; i < areas.size(); ++i) EXPECT_EQ(places[i].area, areas[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, OutputAreas,
    ::testing::Values(
        AreasCase{"One", {{0, 0, 640, 480, 1}}, {{0, 0, 640, 480}}},
        AreasCase{"SideBySide", {{0, 0, 640, 480, 1}, {640, 0, 320, 240, 1}}, {{0, 0, 640, 480}, {640, 0, 960, 240}}},
        AreasCase{"RightOfTheOrigin", {{1000, 50, 200, 100, 1}, {1200, 0, 100, 100, 1}},
                  {{0, 50, 200, 150}, {200, 0, 300, 100}}},
        AreasCase{"LeftOfTheOrigin", {{0, 0, 300, 200, 1}, {-300, 0, 300, 200, 1}},
                  {{300, 0, 600, 200}, {0, 0, 300, 200}}},
        AreasCase{"Stacked", {{0, 100, 640, 480, 1}, {640, 0, 320, 240, 1}}, {{0, 100, 640, 580}, {640, 0, 960, 240}}},
        AreasCase{"BothAtTwo", {{0, 0, 320, 240, 2}, {320, 0, 160, 120, 2}}, {{0, 0, 640, 480}, {640, 0, 960, 240}}},
        AreasCase{"MixedScales", {{0, 0, 320, 240, 1}, {320, 0, 200, 100, 2}}, {{0, 0, 640, 480}, {640, 0, 1040, 200}}},
        AreasCase{"None", {}, {}}),
    [](const auto& c) { return std::string(c.param.name); });

struct OnOutputCase {
  const char* name;
  IRect area, output, local;
};

class OnOutput : public ::testing::TestWithParam<OnOutputCase> {};

TEST_P(OnOutput, TranslatesThePartOnTheOutput) {
  EXPECT_EQ(onOutput(GetParam().area, GetParam().output), GetParam().local);
}

INSTANTIATE_TEST_SUITE_P(
    Areas, OnOutput,
    ::testing::Values(OnOutputCase{"AtTheOrigin", {10, 20, 30, 40}, {0, 0, 640, 480}, {10, 20, 30, 40}},
                      OnOutputCase{"Inside", {700, 20, 800, 40}, {640, 0, 960, 240}, {60, 20, 160, 40}},
                      OnOutputCase{"AcrossTheEdge", {600, 100, 700, 300}, {640, 0, 960, 240}, {0, 100, 60, 240}},
                      OnOutputCase{"LeftPartOfASpan", {600, 100, 700, 300}, {0, 0, 640, 480}, {600, 100, 640, 300}},
                      OnOutputCase{"Below", {640, 240, 960, 480}, {640, 0, 960, 240}, {}},
                      OnOutputCase{"JustTouching", {630, 0, 640, 10}, {640, 0, 960, 240}, {}}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(ToPicture, AddsTheOutputsCorner) {
  const IRect output{640, 100, 960, 340};
  EXPECT_EQ(toPicture(0, 0, output), std::make_pair(640.0f, 100.0f));
  EXPECT_EQ(toPicture(12.5f, 3, output), std::make_pair(652.5f, 103.0f));
}

struct HoldingCase {
  const char* name;
  IRect r;
  std::size_t output;
};

class OutputHolding : public ::testing::TestWithParam<HoldingCase> {};

TEST_P(OutputHolding, PicksTheOutputOfTheRectangle) {
  const std::vector<IRect> outputs{{0, 100, 640, 580}, {640, 0, 960, 240}};
  EXPECT_EQ(outputHolding(outputs, GetParam().r), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Rects, OutputHolding,
    ::testing::Values(HoldingCase{"OnTheFirst", {100, 200, 300, 300}, 0},
                      HoldingCase{"OnTheSecond", {700, 10, 800, 50}, 1},
                      HoldingCase{"CentreDecides", {500, 150, 900, 200}, 1},
                      HoldingCase{"CentreOffBothMostOverlapIsTheSecond", {600, 200, 800, 300}, 1},
                      HoldingCase{"CentreOffBothMostOverlapIsTheFirst", {500, 0, 660, 140}, 0},
                      HoldingCase{"NowhereIsTheFirst", {2000, 2000, 2100, 2100}, 0}),
    [](const auto& c) { return std::string(c.param.name); });

struct Recorder : picture::Presenter {
  std::vector<IRect> invalidated;
  int flushes = 0;
  void invalidate(const IRect& area) override { invalidated.push_back(area); }
  void flush() override { ++flushes; }
};

TEST(OutputPresenters, EachOutputGetsItsPartInItsOwnPixels) {
  Recorder left, right;
  OutputPresenters fan;
  fan.add(&left, {0, 0, 640, 480});
  fan.add(&right, {640, 0, 960, 240});
  fan.invalidate({600, 100, 700, 300});
  fan.invalidate({10, 10, 20, 20});
  fan.invalidate({700, 300, 800, 400});  // below the right output: on neither
  fan.flush();
  EXPECT_EQ(left.invalidated, (std::vector<IRect>{{600, 100, 640, 300}, {10, 10, 20, 20}}));
  EXPECT_EQ(right.invalidated, (std::vector<IRect>{{0, 100, 60, 240}}));
  EXPECT_EQ(left.flushes, 1);
  EXPECT_EQ(right.flushes, 1);
}

}  // namespace
}  // namespace tolvane::platform
