// A home of the test program's own. HOME and the XDG folders point into a
// fresh temporary folder, so nothing a test, Qt or a program the test starts
// writes there (Qt's file dialog keeps ~/.config/QtProject.conf) reaches the
// real home. Made in main before anything reads them; removed at the end.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace tolvane::testutil {

class PrivateHome {
 public:
  PrivateHome() {
    const char* tmp = ::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/tolvane-home-XXXXXX";
    if (!::mkdtemp(folder.data())) {
      std::perror("cannot make a private home for the tests");
      std::exit(2);
    }
    path_ = folder;
    const std::string runtime = folder + "/run";
    ::mkdir(runtime.c_str(), 0700);  // Qt insists on 0700
    ::setenv("HOME", folder.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (folder + "/.config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (folder + "/.cache").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (folder + "/.local/share").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (folder + "/.local/state").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
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
