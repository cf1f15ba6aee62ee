// A home of the test program's own. HOME and the XDG folders point into a
// fresh temporary folder, so nothing a test, Qt or a program the test starts
// writes there (Qt's file dialog keeps ~/.config/QtProject.conf) reaches the
// real home. Made in main before anything reads them; removed at the end.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "portable.h"

namespace tolvane::testutil {

class PrivateHome {
 public:
  PrivateHome() {
    path_ = freshFolder("tolvane-home");
    if (path_.empty()) {
      std::perror("cannot make a private home for the tests");
      std::exit(2);
    }
    const std::string folder = path_.string();
    const std::string runtime = folder + "/run";
    std::error_code ignored;
    std::filesystem::create_directory(runtime, ignored);  // 0700, as Qt insists
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, ignored);
    setEnv("HOME", folder);
    setEnv("XDG_CONFIG_HOME", folder + "/.config");
    setEnv("XDG_CACHE_HOME", folder + "/.cache");
    setEnv("XDG_DATA_HOME", folder + "/.local/share");
    setEnv("XDG_STATE_HOME", folder + "/.local/state");
    setEnv("XDG_RUNTIME_DIR", runtime);
    setEnv("USERPROFILE", folder);
    setEnv("APPDATA", folder + "/AppData/Roaming");
    setEnv("LOCALAPPDATA", folder + "/AppData/Local");
  }
  ~PrivateHome() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  PrivateHome(const PrivateHome&) = delete;
  PrivateHome& operator=(const PrivateHome&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace tolvane::testutil
