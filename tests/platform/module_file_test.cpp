// The capture stage is checked before dlopen maps it: a file that is not a
// whole module of this machine gives a reason, never a SIGBUS.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>
#include <functional>
#include <string>

#include "output/temp_dir.h"
#include "platform/posix/module_file.h"

namespace tolvane {
namespace {

// A real shared object of this machine: the C library the test runs with.
std::string realModule() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&std::fclose), &info) == 0 || !info.dli_fname) return {};
  return std::filesystem::canonical(info.dli_fname).string();
}

// A copy of the real module's first `keep` bytes; all of it for -1.
std::string cutCopy(const testutil::TempDir& dir, long keep) {
  std::ifstream in(realModule(), std::ios::binary);
  const std::vector<std::uint8_t> whole{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return dir.file("m.so", {whole.begin(), keep < 0 ? whole.end() : whole.begin() + keep});
}

struct ModuleCase {
  const char* name;
  std::function<std::string(const testutil::TempDir&)> make;  // the path to check
  const char* defect;                                           // nullptr: loadable
};

const ModuleCase kModules[] = {
    {"AWholeModule", [](const auto& d) { return cutCopy(d, -1); }, nullptr},
    {"CutInItsSegments",
     [](const auto& d) { return cutCopy(d, static_cast<long>(std::filesystem::file_size(realModule()) / 2)); },
     "cut off"},
    {"CutBeforeItsSectionTable",
     [](const auto& d) { return cutCopy(d, static_cast<long>(std::filesystem::file_size(realModule()) - 100)); },
     "cut off"},
    {"CutInItsHeader", [](const auto& d) { return cutCopy(d, 40); }, "too short"},
    {"Empty", [](const auto& d) { return d.file("m.so", {}); }, "too short"},
    {"NotElf", [](const auto& d) { return d.file("m.so", std::vector<std::uint8_t>(4096, 'x')); }, "not an ELF"},
    {"AFolder",
     [](const auto& d) {
       std::filesystem::create_directory(d.path("m.so"));
       return d.path("m.so");
     },
     "not a regular file"},
    {"AFifo",
     [](const auto& d) {
       ::mkfifo(d.path("m.so").c_str(), 0600);
       return d.path("m.so");
     },
     "not a regular file"},
    {"Missing", [](const auto& d) { return d.path("m.so"); }, "cannot be opened"},
};

class ModuleFile : public ::testing::TestWithParam<ModuleCase> {};

TEST_P(ModuleFile, OnlyAWholeModuleOfThisMachinePasses) {
  ASSERT_FALSE(realModule().empty());
  testutil::TempDir dir;
  const std::string path = GetParam().make(dir);
  const auto defect = platform::posix::moduleDefect(path);
  if (!GetParam().defect) {
    EXPECT_EQ(defect, std::nullopt);
    return;
  }
  ASSERT_TRUE(defect.has_value());
  EXPECT_NE(defect->find(GetParam().defect), std::string::npos) << *defect;
}

INSTANTIATE_TEST_SUITE_P(Files, ModuleFile, ::testing::ValuesIn(kModules),
                         [](const ::testing::TestParamInfo<ModuleCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tolvane
