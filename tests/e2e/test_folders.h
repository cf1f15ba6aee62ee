// Folders of a test's own in the scratch folder, and the environment that
// keeps a program inside them.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <string>

#include "harness.h"

namespace tolvane::e2e {

struct TestFolders {
  std::string runtime, home;
};

// A run folder and a home (with a Pictures folder) named `prefix` and the
// running test's name. Parameterised cases are named "Case/0": one folder
// per case all the same.
inline TestFolders makeTestFolders(const std::string& prefix) {
  std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::replace(name.begin(), name.end(), '/', '-');
  const std::string base = scratchDir() + "/" + prefix + name;
  const TestFolders f{base + "-run", base + "-home"};
  for (const std::string& d : {base, f.runtime, f.home, f.home + "/Pictures"}) mkdir(d.c_str(), 0700);
  return f;
}

// HOME, the XDG folders inside it, and a UTF-8 locale.
inline std::map<std::string, std::string> homeEnv(const std::string& home) {
  return {{"HOME", home},
          {"XDG_CONFIG_HOME", home + "/.config"},
          {"XDG_CACHE_HOME", home + "/.cache"},
          {"XDG_DATA_HOME", home + "/.local/share"},
          {"XDG_STATE_HOME", home + "/.local/state"},
          {"LANG", "C.UTF-8"}};
}

}  // namespace tolvane::e2e
