#include "platform/wayland/portal_reply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace tolvane::platform::wayland {
namespace {

struct UriCase {
  const char* name;
  const char* uri;
  std::optional<std::string> path;
};

class LocalPathOfUri : public ::testing::TestWithParam<UriCase> {};

TEST_P(LocalPathOfUri, OnlyLocalFilesDecoded) { EXPECT_EQ(localPathOfUri(GetParam().uri), GetParam().path); }

INSTANTIATE_TEST_SUITE_P(
    Uris, LocalPathOfUri,
    ::testing::Values(UriCase{"plain", "file:///tmp/out.png", "/tmp/out.png"},
                      UriCase{"schemeInCapitals", "FILE:///tmp/out.png", "/tmp/out.png"},
                      UriCase{"localhost", "file://localhost/tmp/out.png", "/tmp/out.png"},
                      UriCase{"escapedSpaceAndChinese", "file:///home/u/Pictures/%E6%88%AA%E5%9B%BE%201.png",
                              "/home/u/Pictures/\xE6\x88\xAA\xE5\x9B\xBE 1.png"},
                      UriCase{"escapedPercent", "file:///tmp/100%25.png", "/tmp/100%.png"},
                      UriCase{"queryDropped", "file:///tmp/a.png?x=1", "/tmp/a.png"},
                      UriCase{"otherHost", "file://elsewhere/tmp/out.png", std::nullopt},
                      UriCase{"otherScheme", "https://example.org/out.png", std::nullopt},
                      UriCase{"bare path", "/tmp/out.png", std::nullopt},
                      UriCase{"relative", "file:tmp/out.png", std::nullopt},
                      UriCase{"empty", "", std::nullopt},
                      UriCase{"truncatedEscape", "file:///tmp/a%2", std::nullopt},
                      UriCase{"badEscape", "file:///tmp/a%zz.png", std::nullopt},
                      UriCase{"escapedNul", "file:///tmp/a%00.png", std::nullopt}),
    [](const auto& c) {
      std::string n = c.param.name;
      std::erase(n, ' ');
      return n;
    });

struct ResponseCase {
  const char* name;
  std::uint32_t code;
  std::optional<std::string> uri;
  const char* path;     // the file on success
  const char* mention;  // part of the failure's text otherwise
};

class ReadPortalResponse : public ::testing::TestWithParam<ResponseCase> {};

TEST_P(ReadPortalResponse, PictureOrWhyNot) {
  const ResponseCase& c = GetParam();
  const PortalAnswer answer = readPortalResponse(c.code, c.uri);
  if (c.path) {
    ASSERT_TRUE(answer.ok()) << answer.failure->description;
    EXPECT_EQ(answer.path, c.path);
    return;
  }
  ASSERT_FALSE(answer.ok());
  EXPECT_EQ(answer.failure->error, kScreenNoWaylandRoute);
  EXPECT_NE(answer.failure->description.find(c.mention), std::string::npos) << answer.failure->description;
  EXPECT_TRUE(answer.path.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Responses, ReadPortalResponse,
    ::testing::Values(ResponseCase{"done", 0, "file:///tmp/out.png", "/tmp/out.png", nullptr},
                      ResponseCase{"cancelled", 1, std::nullopt, nullptr, "refused"},
                      // A refusal never counts as a picture, whatever else came with it.
                      ResponseCase{"cancelledWithUri", 1, "file:///tmp/out.png", nullptr, "refused"},
                      ResponseCase{"ended", 2, std::nullopt, nullptr, "without a picture"},
                      ResponseCase{"unknownCode", 7, "file:///tmp/out.png", nullptr, "unknown code 7"},
                      ResponseCase{"doneWithoutUri", 0, std::nullopt, nullptr, "without a picture"},
                      ResponseCase{"doneWithEmptyUri", 0, "", nullptr, "without a picture"},
                      ResponseCase{"doneWithRemoteUri", 0, "https://example.org/a.png", nullptr, "not a local file"}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(PortalFailureText, NamesTheDesktopWhenKnown) {
  EXPECT_EQ(portalFailureText("GNOME", "the portal was refused"),
            "the Wayland desktop (GNOME) offers no wlr-screencopy, and the portal was refused");
  EXPECT_EQ(portalFailureText(nullptr, "x"), "the Wayland desktop offers no wlr-screencopy, and x");
  EXPECT_EQ(portalFailureText("", "x"), "the Wayland desktop offers no wlr-screencopy, and x");
}

struct PartCase {
  const char* name;
  int width, height;
  std::vector<IRect> outputs;
  std::size_t index;
  IRect part;
};

class OutputInDesktopPicture : public ::testing::TestWithParam<PartCase> {};

TEST_P(OutputInDesktopPicture, CutsTheOutputsPixels) {
  const PartCase& c = GetParam();
  const IRect got = outputInDesktopPicture(c.width, c.height, c.outputs, c.index);
  EXPECT_EQ((std::array{got.left, got.top, got.right, got.bottom}),
            (std::array{c.part.left, c.part.top, c.part.right, c.part.bottom}));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, OutputInDesktopPicture,
    ::testing::Values(
        PartCase{"oneOutput", 1920, 1080, {{0, 0, 1920, 1080}}, 0, {0, 0, 1920, 1080}},
        PartCase{"sideBySideLeft", 2944, 1080, {{0, 0, 1920, 1080}, {1920, 0, 2944, 768}}, 0, {0, 0, 1920, 1080}},
        PartCase{"sideBySideRight", 2944, 1080, {{0, 0, 1920, 1080}, {1920, 0, 2944, 768}}, 1, {1920, 0, 2944, 768}},
        // The layout need not start at 0,0: the picture's corner is the layout's.
        PartCase{"offsetLayout", 1600, 600, {{-800, 0, 0, 600}, {0, 0, 800, 600}}, 1, {800, 0, 1600, 600}},
        // A scale-2 desktop pictured in device pixels.
        PartCase{"scaled", 3840, 1080, {{0, 0, 960, 540}, {960, 0, 1920, 540}}, 1, {1920, 0, 3840, 1080}},
        PartCase{"stacked", 1280, 1744, {{0, 0, 1280, 720}, {0, 720, 1024, 1744}}, 1, {0, 720, 1024, 1744}},
        PartCase{"shapeDoesNotMatch", 1920, 1920, {{0, 0, 1920, 1080}}, 0, {}},
        PartCase{"noSuchOutput", 1920, 1080, {{0, 0, 1920, 1080}}, 1, {}},
        PartCase{"noOutputs", 1920, 1080, {}, 0, {}},
        PartCase{"emptyPicture", 0, 0, {{0, 0, 1920, 1080}}, 0, {}}),
    [](const auto& c) { return std::string(c.param.name); });

}  // namespace
}  // namespace tolvane::platform::wayland
