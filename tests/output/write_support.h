// Shared by the tests of writing files: bytes of a text, a readable verdict
// on a write, the names in a folder. Plain C++, for Linux and Windows alike.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "output/atomic_file.h"
#include "output/temp_dir.h"

namespace tolvane::testutil {

using output::FileOps;

inline std::span<const std::uint8_t> bytesOf(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

inline ::testing::AssertionResult written(const std::optional<platform::Failure>& e) {
  if (!e) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "error " << e->error << ": " << e->description;
}

namespace fs = std::filesystem;

inline const std::string kNew = "the new picture";

// The names in a folder, sorted.
inline std::vector<std::string> names(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace tolvane::testutil
