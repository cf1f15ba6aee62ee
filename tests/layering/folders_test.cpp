// The source folders form layers: no folder reaches, through its includes,
// back to itself, and only the program's wiring includes the session.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tolvane {
namespace {

namespace fs = std::filesystem;
using Graph = std::map<std::string, std::set<std::string>>;

// The folder a path under src/ belongs to: its first part, and for the
// platform's own subfolders (qt, codecs) those as folders of their own.
std::string folderOf(const std::string& path) {
  const auto slash = path.find('/');
  if (slash == std::string::npos) return "";
  const std::string first = path.substr(0, slash);
  const auto next = path.find('/', slash + 1);
  if (first == "platform" && next != std::string::npos) return path.substr(0, next);
  return first;
}

// The path of a `#include "..."` line; empty for any other line.
std::string includedPath(const std::string& line) {
  std::size_t at = line.find_first_not_of(" \t");
  if (at == std::string::npos || line[at] != '#') return "";
  at = line.find_first_not_of(" \t", at + 1);
  if (at == std::string::npos || line.compare(at, 7, "include") != 0) return "";
  at = line.find_first_not_of(" \t", at + 7);
  if (at == std::string::npos || line[at] != '"') return "";
  const auto end = line.find('"', at + 1);
  return end == std::string::npos ? "" : line.substr(at + 1, end - at - 1);
}

// Which folders each folder's files include, by `#include "folder/..."`.
Graph includeGraph(const fs::path& src) {
  Graph g;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file()) continue;
    const std::string ext = entry.path().extension().string();
    if (ext != ".h" && ext != ".cpp") continue;
    const std::string from = folderOf(fs::relative(entry.path(), src).generic_string());
    if (from.empty()) continue;
    g[from];
    std::ifstream in(entry.path());
    for (std::string line; std::getline(in, line);) {
      const std::string included = includedPath(line);
      if (included.empty()) continue;
      const std::string to = folderOf(included);
      if (!to.empty() && to != from && fs::exists(src / included)) g[from].insert(to);
    }
  }
  return g;
}

// The first `#include <Q...>` reached from `file` (a path under src/) through
// quoted includes, as the chain of files leading to it; empty when none is.
std::vector<std::string> qtReachedFrom(const fs::path& src, const std::string& file,
                                       std::set<std::string>& seen) {
  if (!seen.insert(file).second) return {};
  std::ifstream in(src / file);
  for (std::string line; std::getline(in, line);) {
    const auto angle = line.find("#include <Q");
    if (angle != std::string::npos && line.find_first_not_of(" \t") == angle)
      return {file, line.substr(angle + 9, line.find('>', angle) - angle - 9)};
    const std::string included = includedPath(line);
    if (included.empty() || !fs::exists(src / included)) continue;
    auto chain = qtReachedFrom(src, included, seen);
    if (!chain.empty()) {
      chain.insert(chain.begin(), file);
      return chain;
    }
  }
  return {};
}

// A cycle as the folders along it, first one repeated at the end; empty when there is none.
std::vector<std::string> findCycle(const Graph& g) {
  std::map<std::string, int> state;  // 0 unseen, 1 on the path, 2 done
  std::vector<std::string> path;
  std::vector<std::string> cycle;
  std::function<bool(const std::string&)> visit = [&](const std::string& n) {
    state[n] = 1;
    path.push_back(n);
    const auto it = g.find(n);
    if (it != g.end()) {
      for (const auto& next : it->second) {
        if (state[next] == 1) {
          cycle.assign(std::find(path.begin(), path.end(), next), path.end());
          cycle.push_back(next);
          return true;
        }
        if (state[next] == 0 && visit(next)) return true;
      }
    }
    path.pop_back();
    state[n] = 2;
    return false;
  };
  for (const auto& [n, _] : g)
    if (state[n] == 0 && visit(n)) return cycle;
  return {};
}

std::string joined(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& x : v) s += (s.empty() ? "" : " -> ") + x;
  return s;
}

TEST(Folders, TheCycleFinderFindsCyclesAndOnlyThose) {
  EXPECT_TRUE(findCycle({{"a", {"b"}}, {"b", {"c"}}, {"c", {}}}).empty());
  EXPECT_TRUE(findCycle({{"a", {"b", "c"}}, {"b", {"c"}}, {"c", {}}}).empty());  // a diamond is fine
  EXPECT_EQ(findCycle({{"a", {"b"}}, {"b", {"a"}}}), (std::vector<std::string>{"a", "b", "a"}));
  EXPECT_EQ(findCycle({{"x", {"a"}}, {"a", {"b"}}, {"b", {"c"}}, {"c", {"a"}}}),
            (std::vector<std::string>{"a", "b", "c", "a"}));
  EXPECT_EQ(folderOf("platform/qt/system.h"), "platform/qt");
  EXPECT_EQ(folderOf("platform/system.h"), "platform");
  EXPECT_EQ(folderOf("picture/image.h"), "picture");
  EXPECT_EQ(folderOf("selection/region.h"), "selection");
  EXPECT_EQ(includedPath("#include \"a/b.h\""), "a/b.h");
  EXPECT_EQ(includedPath("  #  include   \"x/y.h\"  // why"), "x/y.h");
  EXPECT_EQ(includedPath("#include <vector>"), "");
  EXPECT_EQ(includedPath("// #include \"a/b.h\""), "");
}

TEST(Folders, IncludeNoCycle) {
  const Graph g = includeGraph(fs::path(TOLVANE_SOURCE_DIR) / "src");
  ASSERT_GT(g.size(), 6u);
  const auto cycle = findCycle(g);
  EXPECT_TRUE(cycle.empty()) << "include cycle: " << joined(cycle);
}

// The pictures (image, canvas, compression) sit at the very bottom and
// include nothing; the platform's seam stands on them alone.
TEST(Folders, OnlyTheWiringIncludesTheSessionAndThePlatformStaysAtTheBottom) {
  const Graph g = includeGraph(fs::path(TOLVANE_SOURCE_DIR) / "src");
  ASSERT_TRUE(g.count("picture"));
  for (const auto& [from, to] : g) {
    if (from != "app") {
      EXPECT_FALSE(to.count("session")) << from << " includes session/";
    }
    EXPECT_FALSE(to.count("app")) << from << " includes app/";
    if (from == "picture") {
      EXPECT_TRUE(to.empty()) << from << " includes " << *to.begin();
    }
    if (from == "platform") {
      for (const auto& below : to) EXPECT_EQ(below, "picture") << from << " includes " << below;
    }
  }
  // The first stage's platform stands apart from Qt's.
  for (const char* early : {"platform/x11", "platform/posix"}) {
    ASSERT_TRUE(g.count(early)) << early;
    for (const char* late : {"platform/qt", "platform/codecs"})
      EXPECT_FALSE(g.at(early).count(late)) << early << " includes " << late;
  }
  // The region knows nothing of what is drawn on it or of its handles.
  for (const char* above : {"annotation", "handles", "output"})
    EXPECT_FALSE(g.at("selection").count(above)) << "selection includes " << above;
}

// The core's folders are layers, each including only those below it; the
// session alone wires them together. Finishing is the session's: the tools
// know nothing of the clipboard or the save dialog, and the output nothing
// of the controls. The texts sit at the bottom beside the platform and
// include nothing, so every layer and every view can show them.
TEST(Folders, EachCoreFolderIncludesOnlyTheLayersBelowIt) {
  const Graph g = includeGraph(fs::path(TOLVANE_SOURCE_DIR) / "src");
  const Graph allowed = {
      {"session", {"annotation", "handles", "output", "selection", "layout", "platform", "picture", "texts"}},
      {"annotation", {"selection", "layout", "platform", "picture", "texts"}},
      {"handles", {"selection", "layout", "platform", "picture", "texts"}},
      {"output", {"platform", "picture", "texts"}},
      {"selection", {"layout", "platform", "picture", "texts"}},
      {"layout", {"platform", "picture", "texts"}},
      {"texts", {}},
  };
  for (const auto& [from, may] : allowed) {
    ASSERT_TRUE(g.count(from)) << from;
    for (const auto& to : g.at(from)) EXPECT_TRUE(may.count(to)) << from << " includes " << to;
  }
}

// The program's first stage reads the screen before Qt is loaded: nothing it
// is built from includes a Qt header, even through our own headers.
TEST(Folders, TheFirstStageReachesNoQtHeader) {
  const fs::path src = fs::path(TOLVANE_SOURCE_DIR) / "src";
  std::vector<std::string> files{"app/main.cpp", "app/stage_path.cpp", "app/command_line.cpp", "app/raw_output.cpp"};
  for (const char* folder : {"platform/x11", "platform/posix"})
    for (const auto& entry : fs::directory_iterator(src / folder))
      files.push_back(fs::relative(entry.path(), src).generic_string());
  ASSERT_GT(files.size(), 6u);
  for (const std::string& file : files) {
    std::set<std::string> seen;
    const auto chain = qtReachedFrom(src, file, seen);
    EXPECT_TRUE(chain.empty()) << "the first stage includes Qt: " << joined(chain);
  }
  // And the check finds Qt where it is.
  std::set<std::string> seen;
  EXPECT_FALSE(qtReachedFrom(src, "app/capture_stage.cpp", seen).empty());
}

}  // namespace
}  // namespace tolvane
