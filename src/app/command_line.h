// The command line, read before anything else: no display, no lock, no Qt.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "picture/image.h"

namespace tolvane::app {

// The longest --delay, in milliseconds: an hour.
inline constexpr int kMaxDelayMs = 3'600'000;

struct Options {
  int delayMs = 0;
  // -p: a folder the save dialog starts in, or a file written without a dialog.
  std::string saveFolder;
  std::string saveFile;
  bool raw = false;               // -r: the copied PNG goes to stdout as well
  std::optional<IRect> region;    // --region, in screen pixels, not yet clamped to the screen
};

struct CommandLine {
  enum class Action { Capture, Help, Version, Error };
  Action action = Action::Capture;
  Options options;
  std::string error;  // for Error: what was wrong, without the program's name
};

// Whether a path names an existing folder.
using FolderTest = std::function<bool(const std::string& path)>;

// Reads the arguments after the program's name. GNU style: "--delay=500",
// "--delay 500", "-d 500", "-d500", short flags bundled ("-rd500"), and "--"
// ending the options. The first --help, --version or error met wins.
CommandLine parseCommandLine(const std::vector<std::string>& args, const FolderTest& isFolder);
// The same on main()'s arguments, against the real file system.
CommandLine parseCommandLine(int argc, const char* const* argv);

// "WxH+X+Y", W and H above 0; nullopt when the text is not one.
std::optional<IRect> parseRegion(std::string_view text);

// `text` as a message may repeat it: at most `most` bytes of it, cut at a
// character's start and ended with "…" when longer.
std::string shortened(std::string_view text, std::size_t most = 200);

std::string usageText();
std::string versionText(std::string_view version);
// What goes to stderr for an Error, ending in a hint to --help.
std::string errorText(const std::string& error);

// Exit status for a command line that stops before capturing.
inline constexpr int kExitUsage = 2;

}  // namespace tolvane::app
