// What the tests need from the system that differs between Linux and Windows:
// a fresh scratch folder and setting an environment variable.
#pragma once

#include <stdlib.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace tolvane::testutil {

// The errno of a path through a file as if it were a folder ("file/x"):
// Windows calls it a path not found.
#ifdef _WIN32
inline constexpr int kErrnoThroughAFile = ENOENT;
#else
inline constexpr int kErrnoThroughAFile = ENOTDIR;
#endif

inline void setEnv(const char* name, const std::string& value) {
#ifdef _WIN32
  ::_putenv_s(name, value.c_str());
#else
  ::setenv(name, value.c_str(), 1);
#endif
}

// A new, empty folder "<stem>-<random>" in the system's temporary folder
// (TMPDIR, else /tmp; %TEMP% on Windows); empty when none could be made.
inline std::filesystem::path freshFolder(const std::string& stem) {
  namespace fs = std::filesystem;
  std::error_code err;
#ifdef _WIN32
  const fs::path base = fs::temp_directory_path(err);
#else
  const char* tmp = ::getenv("TMPDIR");
  const fs::path base = tmp && *tmp ? tmp : "/tmp";
#endif
  std::mt19937_64 random(std::random_device{}() ^
                         static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path p = base / (stem + "-" + std::to_string(random() % 100000000));
    if (fs::create_directory(p, err)) {
      fs::permissions(p, fs::perms::owner_all, fs::perm_options::replace, err);  // 0700, as mkdtemp gives
      return p;
    }
  }
  return {};
}

}  // namespace tolvane::testutil
