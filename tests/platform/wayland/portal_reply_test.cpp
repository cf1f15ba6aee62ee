#include "platform/wayland/portal_reply.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>

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
                      ResponseCase{"cancelled", 1, std::nullopt, nullptr, "cancelled"},
                      // A refusal never counts as a picture, whatever else came with it.
                      ResponseCase{"cancelledWithUri", 1, "file:///tmp/out.png", nullptr, "cancelled"},
                      ResponseCase{"ended", 2, std::nullopt, nullptr, "without a picture"},
                      ResponseCase{"unknownCode", 7, "file:///tmp/out.png", nullptr, "unknown code 7"},
                      ResponseCase{"doneWithoutUri", 0, std::nullopt, nullptr, "without a picture"},
                      ResponseCase{"doneWithEmptyUri", 0, "", nullptr, "without a picture"},
                      ResponseCase{"doneWithRemoteUri", 0, "https://example.org/a.png", nullptr, "not a local file"}),
    [](const auto& c) { return std::string(c.param.name); });

// Why there is no picture, when the store or the Pictures folder tells more
// than the code does.
TEST(ReadPortalResponse, TellsARefusalAndAMissingPicturesFolderApart) {
  const PortalContext refused{std::string(), std::nullopt};
  const PortalContext refusedApp{std::string("io.github.tolvane.Tolvane"), std::nullopt};
  const PortalContext noPictures{std::nullopt, std::string("/home/u/Pictures")};
  const PortalContext both{std::string(), std::string("/home/u/Pictures")};
  const struct {
    const char* name;
    std::uint32_t code;
    PortalContext context;
    std::vector<std::string> mentions;  // each in the failure's text
    std::vector<std::string> absent;    // none of these
  } cases[] = {
      {"refusedByStore", 2, refused, {"permission to take screenshots was refused", "SetPermission screenshot true "
                                      "screenshot '' \"['yes']\""}, {"without a picture"}},
      {"refusedForOurId", 2, refusedApp, {"refused", "screenshot 'io.github.tolvane.Tolvane' "}, {}},
      {"cancelledButRefused", 1, refused, {"refused", "PermissionStore"}, {"cancelled"}},
      {"kdeWithoutPictures", 1, noPictures, {"Pictures folder /home/u/Pictures does not exist",
                                              "mkdir -p '/home/u/Pictures'"}, {"cancelled", "refused"}},
      {"endedWithoutPictures", 2, noPictures, {"/home/u/Pictures does not exist"}, {}},
      {"refusalFirst", 2, both, {"refused"}, {"Pictures folder"}},
      {"plainCancel", 1, {}, {"cancelled"}, {"refused", "Pictures"}},
      {"plainEnd", 2, {}, {"without a picture"}, {"refused", "Pictures"}},
      {"unknownCodeKeepsItsWords", 5, both, {"unknown code 5"}, {"refused", "Pictures"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const PortalAnswer answer = readPortalResponse(c.code, std::nullopt, c.context);
    ASSERT_FALSE(answer.ok());
    for (const std::string& m : c.mentions)
      EXPECT_NE(answer.failure->description.find(m), std::string::npos) << answer.failure->description;
    for (const std::string& m : c.absent)
      EXPECT_EQ(answer.failure->description.find(m), std::string::npos) << answer.failure->description;
  }
  // A picture is a picture whatever the store says.
  EXPECT_TRUE(readPortalResponse(0, "file:///tmp/out.png", both).ok());
}

TEST(RefusedScreenshotFor, FindsTheFirstOfOurIdsStoredAsNo) {
  using Entry = std::map<std::string, std::vector<std::string>>;
  const std::vector<std::string> ours = {"", "io.github.tolvane.Tolvane"};
  const struct {
    const char* name;
    Entry entry;
    std::optional<std::string> refused;
  } cases[] = {
      {"empty", {}, std::nullopt},
      {"hostRefused", {{"", {"no"}}}, ""},
      {"hostAllowed", {{"", {"yes"}}}, std::nullopt},
      {"ourIdRefused", {{"", {"yes"}}, {"io.github.tolvane.Tolvane", {"no"}}}, "io.github.tolvane.Tolvane"},
      {"otherAppRefused", {{"org.example.Other", {"no"}}}, std::nullopt},
      {"noAmongOthers", {{"", {"ask", "no"}}}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(refusedScreenshotFor(c.entry, ours), c.refused);
  }
}

// Only a regular file of ours goes: a link (and what it points to), a
// folder and a name that is not there stay as they are.
TEST(RemovePortalPicture, RemovesOnlyARegularFile) {
  char dirTemplate[] = "/tmp/tolvane-portal-XXXXXX";
  ASSERT_NE(mkdtemp(dirTemplate), nullptr);
  const std::filesystem::path dir = dirTemplate;
  const auto make = [&](const char* name) {
    std::ofstream(dir / name) << "picture";
    return (dir / name).string();
  };
  const std::string file = make("Screenshot_1.png");
  const std::string target = make("precious.png");
  std::filesystem::create_symlink(target, dir / "link.png");
  std::filesystem::create_directory(dir / "folder.png");

  EXPECT_TRUE(removePortalPicture(file));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(removePortalPicture((dir / "link.png").string()));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.png"));
  EXPECT_TRUE(std::filesystem::exists(target));
  EXPECT_FALSE(removePortalPicture((dir / "folder.png").string()));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.png"));
  EXPECT_FALSE(removePortalPicture((dir / "gone.png").string()));
  EXPECT_FALSE(removePortalPicture(""));
  // Another user's file stays (only root can make one here).
  if (geteuid() == 0) {
    const std::string theirs = make("theirs.png");
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(removePortalPicture(theirs));
    EXPECT_TRUE(std::filesystem::exists(theirs));
  }
  std::filesystem::remove_all(dir);
}

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
