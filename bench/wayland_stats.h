// Times and their summaries for the whole-process benchmarks on sway.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace tolvane::bench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

inline double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// "median ms (min-max)", or "none".
inline std::string range(std::vector<double> v) {
  if (v.empty()) return "none";
  std::sort(v.begin(), v.end());
  char text[96];
  std::snprintf(text, sizeof text, "%.1f ms (%.1f-%.1f)", median(v), v.front(), v.back());
  return text;
}

}  // namespace tolvane::bench
