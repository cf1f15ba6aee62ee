#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/stage_path.h"

namespace tolvane {
namespace {

using Paths = std::vector<std::string>;

struct StageCase {
  const char* name;
  std::string program, fromBinDir;
  Paths expected;
};

class StagePath : public ::testing::TestWithParam<StageCase> {};

TEST_P(StagePath, BesideTheProgramFirstThenTheInstalledFolder) {
  EXPECT_EQ(app::captureStageCandidates(GetParam().program, GetParam().fromBinDir, "stage.so"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Places, StagePath,
    ::testing::Values(
        StageCase{"BuildTreeAndRelativeInstall", "/w/build/release/tolvane", "../lib/tolvane",
                  {"/w/build/release/stage.so", "/w/build/release/../lib/tolvane/stage.so"}},
        StageCase{"AbsoluteInstallFolder", "/usr/bin/tolvane", "/usr/lib/x86_64-linux-gnu/tolvane",
                  {"/usr/bin/stage.so", "/usr/lib/x86_64-linux-gnu/tolvane/stage.so"}},
        StageCase{"TrailingSlashIsNotDoubled", "/opt/t/bin/tolvane", "/opt/t/lib/",
                  {"/opt/t/bin/stage.so", "/opt/t/lib/stage.so"}},
        StageCase{"ProgramAtTheRoot", "/tolvane", "lib", {"/stage.so", "/lib/stage.so"}},
        StageCase{"InstallFolderIsTheProgramsOwn", "/a/bin/tolvane", ".", {"/a/bin/stage.so", "/a/bin/./stage.so"}},
        StageCase{"SameFolderOnlyOnce", "/a/bin/tolvane", "/a/bin", {"/a/bin/stage.so"}},
        StageCase{"NoInstallFolder", "/a/bin/tolvane", "", {"/a/bin/stage.so"}},
        // Without the program's own absolute path nothing is trusted, least of all the current folder.
        StageCase{"UnknownProgramLooksNowhere", "", "../lib/tolvane", {}},
        StageCase{"RelativeProgramLooksNowhere", "tolvane", "../lib/tolvane", {}},
        StageCase{"ProgramInARelativeFolderLooksNowhere", "bin/tolvane", "/usr/lib/tolvane", {}}),
    [](const ::testing::TestParamInfo<StageCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tolvane
