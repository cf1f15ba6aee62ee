// Windows paths from the command line to the written file: either slash
// separates, and names outside the ANSI code page (Chinese here) stay as typed.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/save_path.h"
#include "output/atomic_file.h"
#include "output/finish.h"
#include "platform/win32/wide.h"
#include "platform/win32/win.h"

namespace tolvane {
namespace {

using app::CommandLine;
using Action = CommandLine::Action;
using platform::win32::narrow;
using platform::win32::widen;

// A fresh folder under %TEMP% holding a folder named 截图; removed at the end.
struct Scratch {
  std::wstring root;
  Scratch() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    root = std::wstring(temp) + L"tolvane-paths-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW((root + L"\\截图").c_str(), nullptr);
  }
  ~Scratch() { removeTree(root); }
  std::string utf8() const { return narrow(root); }
  static void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(folder + L"\\" + name);
        else DeleteFileW((folder + L"\\" + name).c_str());
      } while (FindNextFileW(find, &found));
      FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
  }
};

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

CommandLine parseReal(const std::string& path) {
  const char* argv[] = {"tolvane", "-p", path.c_str()};
  return app::parseCommandLine(3, argv);
}

// -p against the real file system, with backslashes, slashes and Chinese names.
TEST(WindowsPaths, CommandLineTakesEitherSlashAndWideNames) {
  Scratch s;
  const std::string r = s.utf8(), shots = r + "\\截图";
  struct Case {
    std::string path;
    Action action;
    std::string folder, file, error;
  };
  const Case cases[] = {
      {"C:\\missing\\x.png", Action::Error, "", "", "no such folder 'C:\\missing' for 'C:\\missing\\x.png'"},
      {"C:\\missing\\", Action::Error, "", "", "no such folder 'C:\\missing\\'"},
      {"C:/missing/x.png", Action::Error, "", "", "no such folder 'C:/missing' for 'C:/missing/x.png'"},
      {r + "\\没有\\x.png", Action::Error, "", "", "no such folder '" + r + "\\没有' for '" + r + "\\没有\\x.png'"},
      {shots, Action::Capture, shots, "", ""},
      {shots + "\\", Action::Capture, shots + "\\", "", ""},
      {r + "/截图", Action::Capture, r + "/截图", "", ""},
      {shots + "\\截图.png", Action::Capture, "", shots + "\\截图.png", ""},
      {r + "/截图/shot.png", Action::Capture, "", r + "/截图/shot.png", ""},
      {"C:\\x.png", Action::Capture, "", "C:\\x.png", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const CommandLine got = parseReal(c.path);
    EXPECT_EQ(got.action, c.action);
    EXPECT_EQ(got.error, c.error);
    EXPECT_EQ(got.options.saveFolder, c.folder);
    EXPECT_EQ(got.options.saveFile, c.file);
  }
}

// Remembers the folder the dialog was asked to start in.
struct FolderSeen : platform::SaveDialog {
  std::string folder;
  std::optional<platform::SaveAnswer> run(const platform::SaveRequest& request) override {
    folder = request.folder;
    return std::nullopt;
  }
};

// The file -p names is written under that very name, whether given whole,
// with slashes, or from the current folder; a folder reaches the dialog whole.
TEST(WindowsPaths, TheWriterTakesTheNameAsTyped) {
  Scratch s;
  const std::string r = s.utf8();
  struct Case {
    std::string given;
    std::wstring written;
  };
  const Case cases[] = {
      {r + "\\截图\\截图.png", s.root + L"\\截图\\截图.png"},
      {r + "/截图/图一.png", s.root + L"\\截图\\图一.png"},
      {"相对.png", s.root + L"\\截图\\相对.png"},  // from the current folder
  };
  wchar_t before[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, before);
  ASSERT_TRUE(SetCurrentDirectoryW((s.root + L"\\截图").c_str()));
  const std::vector<std::uint8_t> bytes = {1, 2, 3, 4};
  FolderSeen dialog;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given);
    app::PathSaveDialog paths(dialog, "", c.given);
    const auto answer = paths.run({});
    ASSERT_TRUE(answer.has_value());
    const auto failure = output::writeFileAtomically(answer->path, bytes);
    EXPECT_FALSE(failure) << failure->description;
    EXPECT_TRUE(exists(c.written));
  }
  app::PathSaveDialog inFolder(dialog, r + "\\截图", "");
  inFolder.run({});
  EXPECT_EQ(widen(dialog.folder), s.root + L"\\截图");
  SetCurrentDirectoryW(before);
}

// A dot in a folder's name is no extension, whichever slash ends the folder.
TEST(WindowsPaths, AnExtensionIsNeverTakenFromAFolder) {
  EXPECT_EQ(output::extensionOf("C:\\a.dir\\shot"), std::nullopt);
  EXPECT_EQ(output::extensionOf("C:/a.dir/shot"), std::nullopt);
  EXPECT_EQ(output::extensionOf("C:\\a.dir\\shot.jpg"), "jpg");
  EXPECT_EQ(output::savablePath("C:\\a.dir\\shot", 3), "C:\\a.dir\\shot.bmp");
}

}  // namespace
}  // namespace tolvane
