#include <gtest/gtest.h>

#include <set>

#include "app/command_line.h"

namespace tolvane {
namespace {

using app::CommandLine;
using app::parseCommandLine;
using Action = CommandLine::Action;

// Folders as the file system would tell them.
const std::set<std::string> kFolders = {".", "/", "/tmp", "/tmp/shots", "shots", "/tmp/my.dir"};
bool isFolder(const std::string& p) { return kFolders.count(p) > 0 || kFolders.count(p.substr(0, p.size() - 1)) > 0; }

CommandLine parse(std::vector<std::string> args) { return parseCommandLine(args, isFolder); }

struct Good {
  std::vector<std::string> args;
  Action action;
  int delay;
  std::string folder, file;
  bool raw;
  std::optional<IRect> region;
};

TEST(CommandLine, ReadsEverySpellingOfTheOptions) {
  const Good cases[] = {
      {{}, Action::Capture, 0, "", "", false, {}},
      {{"--help"}, Action::Help, 0, "", "", false, {}},
      {{"-h"}, Action::Help, 0, "", "", false, {}},
      {{"--version"}, Action::Version, 0, "", "", false, {}},
      // The first of --help, --version and an error wins.
      {{"--version", "--help"}, Action::Version, 0, "", "", false, {}},
      {{"--help", "--bogus"}, Action::Help, 0, "", "", false, {}},
      {{"-r", "--help"}, Action::Help, 0, "", "", true, {}},
      {{"-d", "500"}, Action::Capture, 500, "", "", false, {}},
      {{"-d500"}, Action::Capture, 500, "", "", false, {}},
      {{"--delay", "250"}, Action::Capture, 250, "", "", false, {}},
      {{"--delay=0"}, Action::Capture, 0, "", "", false, {}},
      {{"--delay=3600000"}, Action::Capture, 3600000, "", "", false, {}},
      {{"-d", "1", "-d", "2"}, Action::Capture, 2, "", "", false, {}},  // the last one counts
      {{"-r"}, Action::Capture, 0, "", "", true, {}},
      {{"--raw"}, Action::Capture, 0, "", "", true, {}},
      {{"-rd", "40"}, Action::Capture, 40, "", "", true, {}},  // bundled flags, then the value
      {{"-rd40"}, Action::Capture, 40, "", "", true, {}},
      {{"-p", "/tmp"}, Action::Capture, 0, "/tmp", "", false, {}},
      {{"--path=/tmp/shots/"}, Action::Capture, 0, "/tmp/shots/", "", false, {}},
      {{"-pshots"}, Action::Capture, 0, "shots", "", false, {}},
      {{"-p", "/tmp/a.png"}, Action::Capture, 0, "", "/tmp/a.png", false, {}},
      {{"--path", "a.JPEG"}, Action::Capture, 0, "", "a.JPEG", false, {}},  // in the current folder
      {{"-p", "/tmp/my.dir/b.tif"}, Action::Capture, 0, "", "/tmp/my.dir/b.tif", false, {}},
      {{"-p", "/c.gif"}, Action::Capture, 0, "", "/c.gif", false, {}},
      {{"-p", "shots/d.bmp", "-p", "/tmp"}, Action::Capture, 0, "/tmp", "", false, {}},  // the last one counts
      {{"-p", "/tmp", "-p", "shots/e.tiff"}, Action::Capture, 0, "", "shots/e.tiff", false, {}},
      {{"--region", "300x200+40+60"}, Action::Capture, 0, "", "", false, IRect{40, 60, 340, 260}},
      {{"--region=1X1+0+0"}, Action::Capture, 0, "", "", false, IRect{0, 0, 1, 1}},
      {{"--region", "65535x2+9000+0"}, Action::Capture, 0, "", "", false, IRect{9000, 0, 74535, 2}},
      {{"-d", "5", "--", }, Action::Capture, 5, "", "", false, {}},
  };
  for (const Good& c : cases) {
    std::string shown;
    for (const auto& a : c.args) shown += a + " ";
    SCOPED_TRACE(shown);
    const CommandLine r = parse(c.args);
    EXPECT_EQ(r.action, c.action);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.options.delayMs, c.delay);
    EXPECT_EQ(r.options.saveFolder, c.folder);
    EXPECT_EQ(r.options.saveFile, c.file);
    EXPECT_EQ(r.options.raw, c.raw);
    ASSERT_EQ(r.options.region.has_value(), c.region.has_value());
    if (c.region) {
      EXPECT_EQ(r.options.region->left, c.region->left);
      EXPECT_EQ(r.options.region->top, c.region->top);
      EXPECT_EQ(r.options.region->right, c.region->right);
      EXPECT_EQ(r.options.region->bottom, c.region->bottom);
    }
  }
}

TEST(CommandLine, RefusesWhatItCannotUseAndSaysWhy) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"-x"}, "unknown option '-x'"},
      {{"-rx"}, "unknown option '-x'"},
      {{"--Help"}, "unknown option '--Help'"},
      {{"--hel"}, "unknown option '--hel'"},  // no abbreviations
      {{"shot.png"}, "unexpected argument 'shot.png'"},
      {{"-"}, "unexpected argument '-'"},
      {{"--", "-r"}, "unexpected argument '-r'"},  // after "--" nothing is an option
      {{"--bogus", "--help"}, "unknown option '--bogus'"},
      {{"--raw=yes"}, "option '--raw' takes no value"},
      {{"--help=1"}, "option '--help' takes no value"},
      {{"-d"}, "option '-d' needs a value"},
      {{"--delay"}, "option '--delay' needs a value"},
      {{"--region"}, "option '--region' needs a value"},
      {{"-p"}, "option '-p' needs a value"},
      {{"-d", "abc"}, "invalid delay 'abc' for -d: milliseconds, 0 to 3600000"},
      {{"--delay=-5"}, "invalid delay '-5' for --delay: milliseconds, 0 to 3600000"},
      {{"--delay="}, "invalid delay '' for --delay: milliseconds, 0 to 3600000"},
      {{"-d1.5"}, "invalid delay '1.5' for -d: milliseconds, 0 to 3600000"},
      {{"-d", "3600001"}, "invalid delay '3600001' for -d: milliseconds, 0 to 3600000"},
      {{"-d", "99999999999999999999999"}, "invalid delay '99999999999999999999999' for -d: milliseconds, 0 to 3600000"},
      {{"--path="}, "option '--path' needs a folder or a file name"},
      {{"-p", "/tmp/shot"}, "cannot tell the picture format of '/tmp/shot': end the name in .png, .jpg, .jpeg, "
                            ".bmp, .gif, .tif or .tiff"},
      {{"-p", "/tmp/shot.webp"}, "cannot tell the picture format of '/tmp/shot.webp': end the name in .png, .jpg, "
                                 ".jpeg, .bmp, .gif, .tif or .tiff"},
      {{"-p", "/tmp/my.dir/shot"}, "cannot tell the picture format of '/tmp/my.dir/shot': end the name in .png, "
                                   ".jpg, .jpeg, .bmp, .gif, .tif or .tiff"},
      {{"-p", "/nowhere/shot.png"}, "no such folder '/nowhere' for '/nowhere/shot.png'"},
      {{"-p", "/nowhere/"}, "no such folder '/nowhere/'"},
  };
  for (const auto& [args, error] : cases) {
    SCOPED_TRACE(args.front());
    const CommandLine r = parse(args);
    EXPECT_EQ(r.action, Action::Error);
    EXPECT_EQ(r.error, error);
  }
}

TEST(CommandLine, ALongValueIsCutInTheMessage) {
  const std::string huge(64 * 1024, '7');
  std::string wide;
  for (int i = 0; i < 20'000; ++i) wide += "截";  // three bytes each
  const std::vector<std::string> cases[] = {
      {"--delay=" + huge},   {"-d", huge},          {"--region", huge}, {"-p", "/nowhere/" + huge + ".png"},
      {"-p", huge + ".xyz"}, {"--" + huge},          {huge},             {"-p", "/nowhere/" + wide + "/"},
      {"--region=" + wide},
  };
  for (const auto& args : cases) {
    const CommandLine c = parse(args);
    ASSERT_EQ(c.action, Action::Error) << args[0].substr(0, 20);
    const std::string text = app::errorText(c.error);
    EXPECT_LT(text.size(), 800u) << args[0].substr(0, 20);
    EXPECT_NE(text.find("\xe2\x80\xa6"), std::string::npos) << text.substr(0, 300);  // "…"
  }
  // Cut at a character's start: 200 bytes of three-byte characters keep 66 whole ones.
  EXPECT_EQ(app::shortened(wide), wide.substr(0, 198) + "\xe2\x80\xa6");
  EXPECT_EQ(app::shortened("short"), "short");
  EXPECT_EQ(app::shortened(std::string(200, 'a')), std::string(200, 'a'));
}

TEST(CommandLine, ARegionIsWidthByHeightPlusLeftPlusTop) {
  for (const char* bad : {"", "300x200", "300x200+40", "0x200+1+1", "300x0+1+1", "x200+1+1", "300x+1+1",
                          "300x200+-4+6", "300x200-4-6", "-300x200+4+6", "300*200+4+6", "300x200+4+6+", "3 0x2+1+1",
                          "65536x2+0+0", "2x2+65536+0", "1+1x1+1"}) {
    EXPECT_FALSE(app::parseRegion(bad).has_value()) << '"' << bad << '"';
    const CommandLine r = parse({"--region", bad});
    EXPECT_EQ(r.action, Action::Error) << bad;
    EXPECT_EQ(r.error, std::string("invalid region '") + bad + "' for --region: WxH+X+Y, as 300x200+40+60");
  }
}

TEST(CommandLine, TellsUsageVersionAndErrorsInTheUsualShape) {
  const std::string usage = app::usageText();
  EXPECT_TRUE(usage.starts_with("Usage: tolvane [OPTION]...\n"));
  for (const char* option : {"--delay MS", "--path PATH", "--raw", "--region WxH+X+Y", "--help", "--version"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  EXPECT_EQ(app::versionText("1.2.3"), "tolvane 1.2.3\n");
  EXPECT_EQ(app::errorText("unknown option '-x'"),
            "tolvane: unknown option '-x'\nTry 'tolvane --help' for more information.\n");
}

TEST(CommandLine, ReadsMainsArgumentsAgainstTheRealFileSystem) {
  const char* folder[] = {"tolvane", "-p", "/"};
  EXPECT_EQ(parseCommandLine(3, folder).options.saveFolder, "/");
  const char* missing[] = {"tolvane", "--path=/no/such/folder/x.png"};
  EXPECT_EQ(parseCommandLine(2, missing).action, Action::Error);
  const char* none[] = {"tolvane"};
  EXPECT_EQ(parseCommandLine(1, none).action, Action::Capture);
}

}  // namespace
}  // namespace tolvane
