// The command line on the real program: what ends before any capture, and
// what -r, -p and --region change in one.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "fixture.h"

namespace tolvane::e2e {
namespace {

constexpr Argb kFrame = 0xFF007AECu;


class CommandLine : public E2E {
 protected:
  std::unique_ptr<Program> startWith(const std::vector<std::string>& args, int out = -1) {
    std::vector<std::string> argv{programPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return std::make_unique<Program>(x(), argv, env(), out);
  }
  // Waits until the region shows framed and undimmed, its toolbar beside it.
  bool waitForRegion(Program& p, const IRect& r) {
    const std::pair<int, int> copy = toolbarButton(r.right, r.bottom, 1);
    return waitUntil(
               [&] {
                 if (!p.running()) return true;
                 const Image s = x().grab();
                 return s.pixel(r.left, r.top + r.height() / 2) == kFrame &&
                        s.pixel(r.right - 1, r.top + r.height() / 2) == kFrame &&
                        s.pixel(r.left + r.width() / 2, r.top + r.height() / 2) ==
                            picture().pixel(r.left + r.width() / 2, r.top + r.height() / 2) &&
                        s.pixel(copy.first, copy.second) != veiled(picture()).pixel(copy.first, copy.second);
               },
               kPatience) &&
           p.running();
  }
};

// None of these may touch the display: they run against one that does not
// exist, where a capture would end with status 1.
TEST_F(CommandLine, HelpVersionAndMistakesEndBeforeTheDisplay) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, errStart;
  };
  const std::string usage = "Usage: tolvane [OPTION]...\n";
  const Case cases[] = {
      {{"--help"}, 0, usage, ""},
      {{"-h", "--bogus"}, 0, usage, ""},
      {{"--version"}, 0, std::string("tolvane ") + TOLVANE_VERSION + "\n", ""},
      {{"--bogus"}, 2, "", "tolvane: unknown option '--bogus'\nTry 'tolvane --help'"},
      {{"-d", "soon"}, 2, "", "tolvane: invalid delay 'soon'"},
      {{"-p", home() + "/shot.webp"}, 2, "", "tolvane: cannot tell the picture format"},
      {{"--region", "0x10+0+0"}, 2, "", "tolvane: invalid region '0x10+0+0'"},
  };
  auto environment = env();
  environment["DISPLAY"] = ":999";
  for (const Case& c : cases) {
    std::vector<std::string> argv{programPath()};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const RunResult r = run(argv, environment, kPatience);
    SCOPED_TRACE(c.args.front());
    EXPECT_EQ(r.status, c.status) << r.err;
    if (c.out == usage) {
      EXPECT_TRUE(r.out.starts_with(usage)) << r.out;
    } else {
      EXPECT_EQ(r.out, c.out);
    }
    EXPECT_TRUE(r.err.starts_with(c.errStart)) << r.err;
    if (c.errStart.empty()) {
      EXPECT_EQ(r.err, "");
    }
  }
  // And on the real display nothing is shown.
  MapWatch maps(x());
  ASSERT_TRUE(maps.ok());
  EXPECT_EQ(run({programPath(), "--bogus"}, [&] {
              auto e = env();
              e["DISPLAY"] = x().display();
              return e;
            }(),
                kPatience)
                .status,
            2);
  EXPECT_EQ(maps.maps(), 0);
}

// --region preselects; the copy button copies it, and -r sends the very same
// PNG to standard output, which ends while the process still serves the clipboard.
TEST_F(CommandLine, RawWritesTheCopiedPngToStandardOutput) {
  const IRect region{120, 90, 420, 290};
  int pipeFds[2];
  ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
  auto p = startWith({"-r", "--region", "300x200+120+90"}, pipeFds[1]);
  close(pipeFds[1]);
  ASSERT_TRUE(waitForCaptureWindow(*p)) << p->stderrText();
  ASSERT_TRUE(waitForRegion(*p, region)) << p->stderrText();
  const auto [copyX, copyY] = toolbarButton(region.right, region.bottom, 1);
  x().click(copyX, copyY);

  std::string out;
  bool ended = false;
  waitUntil(
      [&] {
        pollfd f{pipeFds[0], POLLIN, 0};
        while (poll(&f, 1, 0) > 0) {
          char buf[65536];
          const ssize_t n = read(pipeFds[0], buf, sizeof buf);
          if (n <= 0) return ended = true;
          out.append(buf, static_cast<std::size_t>(n));
        }
        return false;
      },
      kPatience);
  close(pipeFds[0]);
  ASSERT_TRUE(ended) << "standard output did not end; " << out.size() << " bytes so far";
  EXPECT_TRUE(p->running());  // still serving the clipboard
  const auto png = x().clipboard();
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(out, *png);  // byte for byte
  EXPECT_EQ(decodePng(out), picture().copy(region));
  ASSERT_TRUE(x().takeClipboard("next"));
  EXPECT_EQ(p->wait(kPatience), 0);
}

// A region partly off the screen is cut to it; a double click inside copies
// that part and offers the save dialog as usual.
TEST_F(CommandLine, ARegionPartlyOffTheScreenIsCutToIt) {
  const IRect onScreen{400, 300, kW, kH};
  auto p = startWith({"--region=500x400+400+300"});
  ASSERT_TRUE(waitForCaptureWindow(*p)) << p->stderrText();
  ASSERT_TRUE(waitUntil([&] { return at(400, 380) == kFrame && at(500, 380) == picture().pixel(500, 380); },
                        kPatience))
      << p->stderrText();
  x().doubleClick(500, 380);
  ASSERT_TRUE(x().waitForWindow("Tolvane-保存为")) << p->stderrText();
  x().key("Escape");
  ASSERT_TRUE(waitUntil([&] { return !showsAWindow(*p); }, kPatience));
  const auto png = x().clipboard();
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(decodePng(*png), picture().copy(onScreen));
  ASSERT_TRUE(x().takeClipboard("next"));
  EXPECT_EQ(p->wait(kPatience), 0);
}

// -p with a file name: the save button writes it in the format its extension
// names, with no dialog (nobody would answer one), and the run ends.
TEST_F(CommandLine, APathToAFileIsSavedWithoutADialog) {
  const IRect region{100, 100, 300, 250};
  const std::string file = home() + "/Pictures/shot.bmp";
  auto p = startWith({"--path", file});
  ASSERT_TRUE(waitForVeil(*p)) << p->stderrText();
  x().drag(region.left, region.top, region.right, region.bottom);
  ASSERT_TRUE(waitForRegion(*p, region)) << p->stderrText();
  const auto [saveX, saveY] = toolbarButton(region.right, region.bottom, 2);
  x().click(saveX, saveY);
  EXPECT_EQ(p->wait(kPatience), 0) << p->stderrText();
  // A 24-bit BMP, bottom-up rows of BGR, each a multiple of 4 bytes long.
  const std::string bytes = readFile(file);
  ASSERT_GE(bytes.size(), 54u);
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  const auto byte = [&](std::size_t at) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])); };
  const auto le32 = [&](std::size_t at) { return byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16 | byte(at + 3) << 24; };
  const int w = static_cast<int>(le32(18)), h = static_cast<int>(le32(22));
  ASSERT_EQ(w, region.width());
  ASSERT_EQ(h, region.height());
  ASSERT_EQ(byte(28), 24u);  // bits per pixel
  const std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) / 4 * 4, pixels = le32(10);
  ASSERT_EQ(bytes.size(), pixels + stride * static_cast<std::size_t>(h));
  Image saved(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::size_t at = pixels + stride * static_cast<std::size_t>(h - 1 - y) + static_cast<std::size_t>(x) * 3;
      saved.setPixel(x, y, 0xFF000000u | byte(at + 2) << 16 | byte(at + 1) << 8 | byte(at));
    }
  EXPECT_EQ(saved, picture().copy(region));
}

}  // namespace
}  // namespace tolvane::e2e
