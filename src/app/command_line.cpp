#include "app/command_line.h"

#include "output/finish.h"
#include "output/image_writer.h"
#include "platform/files.h"

namespace tolvane::app {

namespace {

// A plain decimal number, digits only, at most `limit`.
std::optional<long long> number(std::string_view text, long long limit) {
  if (text.empty()) return std::nullopt;
  long long v = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
    if (v > limit) return std::nullopt;
  }
  return v;
}

// A value as an error message shows it: quoted, and cut when long.
std::string quoted(std::string_view s) { return '\'' + shortened(s) + '\''; }

enum class Opt { None, Help, Version, Delay, Path, Raw, Region };

struct OptionInfo {
  Opt opt;
  char shortName;  // 0: none
  std::string_view longName;
  bool takesValue;
};

constexpr OptionInfo kOptions[] = {
    {Opt::Help, 'h', "help", false},   {Opt::Version, 0, "version", false}, {Opt::Delay, 'd', "delay", true},
    {Opt::Path, 'p', "path", true},    {Opt::Raw, 'r', "raw", false},       {Opt::Region, 0, "region", true},
};

const OptionInfo* byLong(std::string_view name) {
  for (const OptionInfo& s : kOptions)
    if (s.longName == name) return &s;
  return nullptr;
}

const OptionInfo* byShort(char c) {
  for (const OptionInfo& s : kOptions)
    if (s.shortName == c) return &s;
  return nullptr;
}

class Parser {
 public:
  Parser(const std::vector<std::string>& args, const FolderTest& isFolder) : args_(args), isFolder_(isFolder) {}

  CommandLine run() {
    bool optionsEnd = false;
    for (i_ = 0; i_ < args_.size() && !done(); ++i_) {
      const std::string& a = args_[i_];
      if (optionsEnd || a.size() < 2 || a[0] != '-') {
        fail("unexpected argument " + quoted(a));
      } else if (a == "--") {
        optionsEnd = true;
      } else if (a.starts_with("--")) {
        longOption(std::string_view(a).substr(2));
      } else {
        shortOptions(std::string_view(a).substr(1));
      }
    }
    return out_;
  }

 private:
  bool done() const { return out_.action != CommandLine::Action::Capture; }
  void fail(std::string why) {
    out_.action = CommandLine::Action::Error;
    out_.error = std::move(why);
  }

  // The value after an option that takes one: the next argument.
  std::optional<std::string> nextValue(std::string_view shownName) {
    if (i_ + 1 >= args_.size()) {
      fail("option " + quoted(shownName) + " needs a value");
      return std::nullopt;
    }
    return args_[++i_];
  }

  void longOption(std::string_view text) {
    const auto eq = text.find('=');
    const std::string_view name = text.substr(0, eq);
    const std::string shown = "--" + std::string(name);
    const OptionInfo* info = byLong(name);
    if (!info) return fail("unknown option " + quoted(shown));
    if (!info->takesValue) {
      if (eq != std::string_view::npos) return fail("option " + quoted(shown) + " takes no value");
      return apply(*info, shown, {});
    }
    if (eq != std::string_view::npos) return apply(*info, shown, std::string(text.substr(eq + 1)));
    if (const auto v = nextValue(shown)) apply(*info, shown, *v);
  }

  void shortOptions(std::string_view flags) {
    for (std::size_t k = 0; k < flags.size() && !done(); ++k) {
      const std::string shown = std::string("-") + flags[k];
      const OptionInfo* info = byShort(flags[k]);
      if (!info) return fail("unknown option " + quoted(shown));
      if (!info->takesValue) {
        apply(*info, shown, {});
        continue;
      }
      // "-d500": the rest of the argument is the value; "-d 500": the next one.
      if (k + 1 < flags.size()) return apply(*info, shown, std::string(flags.substr(k + 1)));
      if (const auto v = nextValue(shown)) apply(*info, shown, *v);
      return;
    }
  }

  void apply(const OptionInfo& info, const std::string& shown, const std::string& value) {
    Options& o = out_.options;
    switch (info.opt) {
      case Opt::None:
        break;
      case Opt::Help:
        out_.action = CommandLine::Action::Help;
        break;
      case Opt::Version:
        out_.action = CommandLine::Action::Version;
        break;
      case Opt::Delay: {
        const auto ms = number(value, kMaxDelayMs);
        if (!ms)
          return fail("invalid delay " + quoted(value) + " for " + shown + ": milliseconds, 0 to " +
                      std::to_string(kMaxDelayMs));
        o.delayMs = static_cast<int>(*ms);
        break;
      }
      case Opt::Path:
        return path(shown, value);
      case Opt::Raw:
        o.raw = true;
        break;
      case Opt::Region: {
        const auto r = parseRegion(value);
        if (!r) return fail("invalid region " + quoted(value) + " for " + shown + ": WxH+X+Y, as 300x200+40+60");
        o.region = r;
        break;
      }
    }
  }

  void path(const std::string& shown, const std::string& value) {
    Options& o = out_.options;
    if (value.empty()) return fail("option " + quoted(shown) + " needs a folder or a file name");
    if (platform::files::isSeparator(value.back()) || isFolder_(value)) {
      if (!isFolder_(value)) return fail("no such folder " + quoted(value));
      o.saveFolder = value;
      o.saveFile.clear();
      return;
    }
    const auto ext = output::extensionOf(value);
    if (!ext || !output::formatForExtension(*ext))
      return fail("cannot tell the picture format of " + quoted(value) +
                  ": end the name in .png, .jpg, .jpeg, .bmp, .gif, .tif or .tiff");
    const std::string folder = platform::files::folderOf(value);
    if (!isFolder_(folder)) return fail("no such folder " + quoted(folder) + " for " + quoted(value));
    o.saveFile = value;
    o.saveFolder.clear();
  }

  const std::vector<std::string>& args_;
  const FolderTest& isFolder_;
  std::size_t i_ = 0;
  CommandLine out_;
};

}  // namespace

std::optional<IRect> parseRegion(std::string_view text) {
  // Each number up to the largest region side the capture takes.
  constexpr long long kLimit = output::kMaxCaptureSide;
  const auto x = text.find_first_of("xX");
  const auto plus1 = text.find('+');
  if (x == std::string_view::npos || plus1 == std::string_view::npos || plus1 < x) return std::nullopt;
  const auto plus2 = text.find('+', plus1 + 1);
  if (plus2 == std::string_view::npos) return std::nullopt;
  const auto w = number(text.substr(0, x), kLimit);
  const auto h = number(text.substr(x + 1, plus1 - x - 1), kLimit);
  const auto left = number(text.substr(plus1 + 1, plus2 - plus1 - 1), kLimit);
  const auto top = number(text.substr(plus2 + 1), kLimit);
  if (!w || !h || !left || !top || *w == 0 || *h == 0) return std::nullopt;
  const int l = static_cast<int>(*left), t = static_cast<int>(*top);
  return IRect{l, t, l + static_cast<int>(*w), t + static_cast<int>(*h)};
}

CommandLine parseCommandLine(const std::vector<std::string>& args, const FolderTest& isFolder) {
  return Parser(args, isFolder).run();
}

CommandLine parseCommandLine(int argc, const char* const* argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return parseCommandLine(args, [](const std::string& path) {
    return platform::files::factsOf(path).kind == platform::files::Kind::Folder;
  });
}

std::string shortened(std::string_view text, std::size_t most) {
  if (text.size() <= most) return std::string(text);
  std::size_t cut = most;
  // Not inside a UTF-8 sequence: back up over its continuation bytes.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "…";
}

std::string usageText() {
  return "Usage: tolvane [OPTION]...\n"
         "Capture a region of the screen: the screen freezes under a dark veil; drag\n"
         "out a region, draw on it, then copy it to the clipboard or save it to a file.\n"
         "Runs on X11, on Wayland (wlroots compositors such as sway natively; GNOME\n"
         "and KDE through the Screenshot portal) and on Windows. Its texts are Chinese.\n"
         "\n"
         "  -d, --delay MS         wait MS milliseconds before freezing the screen\n"
         "  -p, --path PATH        a folder: the save dialog starts there;\n"
         "                         a file name: save writes that file, with no dialog;\n"
         "                         its extension picks the format (png, jpg, jpeg,\n"
         "                         bmp, gif, tif, tiff)\n"
         "  -r, --raw              on copy, also write the PNG to standard output\n"
         "      --region WxH+X+Y   start with this region selected\n"
         "  -h, --help             show this help and exit\n"
         "      --version          show the version and exit\n"
         "\n"
         "Keys: Esc quits; Enter or Ctrl+C copies and closes; Ctrl+S saves; Ctrl+Z\n"
         "undoes; Ctrl+Y or Ctrl+Shift+Z redoes; the arrows move the region a pixel\n"
         "(Shift: 10), Ctrl+arrows its bottom-right corner; Ctrl+A takes the whole screen.\n"
         "A right click cancels the region; with none, it quits.\n"
         "\n"
         "With no option, a capture starts at once. The save dialog offers the Pictures\n"
         "folder (else the home folder) and a name of the time, as PNG:\n"
         "Tolvane2026-12-08_09.30.00.\n"
         "Exit status: 0 when done, 1 when the screen cannot be captured,\n"
         "2 for a wrong command line.\n";
}

std::string versionText(std::string_view version) { return "tolvane " + std::string(version) + "\n"; }

std::string errorText(const std::string& error) {
  return "tolvane: " + error + "\nTry 'tolvane --help' for more information.\n";
}

}  // namespace tolvane::app
