// Every text the user reads on screen lives in src/texts/: no other source
// file holds a string literal with Chinese in it, font names aside. (The
// command line's own messages on stderr are English and stay with it.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tolvane {
namespace {

namespace fs = std::filesystem;

// The string literals of one line of code, leaving out a trailing comment.
std::vector<std::string> literalsOf(const std::string& line) {
  std::vector<std::string> out;
  std::string current;
  bool inString = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (inString) {
      if (c == '\\' && i + 1 < line.size()) {
        current += line.substr(i, 2);
        ++i;
      } else if (c == '"') {
        out.push_back(current);
        current.clear();
        inString = false;
      } else {
        current += c;
      }
    } else if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
      break;
    } else if (c == '"') {
      inString = true;
    } else if (c == '\'' && i + 2 < line.size()) {
      i += line[i + 1] == '\\' ? 3 : 2;  // a character literal, '"' among them
    }
  }
  return out;
}

// Whether UTF-8 text holds a character of U+3000..U+9FFF (CJK punctuation,
// kana, ideographs): lead bytes 0xE3..0xE9.
bool hasChinese(const std::string& s) {
  for (const char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0xE3 && b <= 0xE9) return true;
  }
  return false;
}

// Font family names are asked of the system by name, never shown.
bool fontName(const std::string& s) { return s == "宋体"; }

TEST(Texts, LiteralsOfALine) {
  using V = std::vector<std::string>;
  const struct {
    std::string line;
    V literals;
  } cases[] = {
      {R"(a("错误", "x\"y");)", V{"错误", R"(x\"y)"}},
      {R"(f(); // "错误" in a comment)", V{}},
      {R"(s = "a // b";  // "c")", V{"a // b"}},
      {R"(c = '"'; d = "e";)", V{"e"}},
      {R"(q = '\''; r = "文";)", V{"文"}},
  };
  for (const auto& c : cases) EXPECT_EQ(literalsOf(c.line), c.literals) << c.line;
  EXPECT_FALSE(hasChinese("Tolvane%04d"));
  EXPECT_FALSE(hasChinese("…"));
  EXPECT_TRUE(hasChinese("宽X高"));
  EXPECT_TRUE(hasChinese("(可用: png)"));
}

TEST(Texts, OnScreenTextsLiveOnlyInTheTextsUnit) {
  const fs::path src = fs::path(TOLVANE_SOURCE_DIR) / "src";
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
    const std::string rel = fs::relative(entry.path(), src).generic_string();
    if (rel.starts_with("texts/")) continue;
    ++files;
    std::ifstream in(entry.path());
    int number = 0;
    for (std::string line; std::getline(in, line);) {
      ++number;
      for (const auto& literal : literalsOf(line))
        EXPECT_TRUE(!hasChinese(literal) || fontName(literal)) << rel << ":" << number << ": \"" << literal << "\"";
    }
  }
  EXPECT_GT(files, 50);
}

}  // namespace
}  // namespace tolvane
