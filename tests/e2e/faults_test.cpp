// Faults from outside on the real program: closed standard streams, a -r
// reader that never reads or cannot take the picture, a hang-up at each
// stage, the X server gone at each stage, a special file as the -p target.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "fixture.h"

namespace tolvane::e2e {
namespace {

const IRect kRegion{120, 90, 420, 290};
const std::string kRegionArg = "300x200+120+90";

class Faults : public E2E {
 protected:
  std::unique_ptr<Program> startWith(const std::vector<std::string>& args, int out = -1) {
    std::vector<std::string> argv{programPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return std::make_unique<Program>(x(), argv, env(), out);
  }
  // Waits until --region's region shows with its toolbar: keys then reach it.
  bool waitForRegion(Program& p) {
    const Argb frame = 0xFF007AECu;
    return waitForCaptureWindow(p) &&
           waitUntil([&] { return !p.running() || at(kRegion.left, kRegion.top + 50) == frame; }, kPatience) &&
           p.running();
  }
  std::string lockPath() const { return env().at("XDG_RUNTIME_DIR") + "/tolvane.lock"; }
  // Whether a run holds the instance lock.
  bool lockHeld() const {
    const int fd = open(lockPath().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return held;
  }
};

// However the standard streams are closed, nothing else takes their place:
// the capture answers Esc, and a warning (the --region lies off the screen)
// goes nowhere, neither into the X connection nor into the lock file.
TEST_F(Faults, ClosedStandardStreamsAreNotTakenOverByWhatOpensNext) {
  const char* closings[] = {"<&- >&- 2>&-", ">&- 2>&-", "2>&-", "<&-"};
  for (const char* closing : closings) {
    SCOPED_TRACE(closing);
    const std::string script = std::string("exec \"$0\" --region 100x100+5000+5000 ") + closing;
    Program p(x(), {"/bin/sh", "-c", script, programPath()}, env());
    ASSERT_TRUE(waitForVeil(p)) << p.stderrText();
    x().key("Escape");
    EXPECT_EQ(p.wait(15s), 0);
    struct stat st {};
    ASSERT_EQ(stat(lockPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0) << "warnings went into the lock file";
  }
}

// -r into a pipe whose reader never reads: the window goes and the clipboard
// is served all the same, and an ending signal ends the run, with status 1
// as the PNG did not get through.
TEST_F(Faults, AStuckRawReaderHoldsUpNothingAndASignalEndsTheRun) {
  for (const int sig : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(sig);
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    // A pipe already full: nothing more goes in until someone reads.
    ASSERT_EQ(fcntl(pipeFds[1], F_SETFL, O_NONBLOCK), 0);
    const std::string chunk(4096, 'x');
    while (write(pipeFds[1], chunk.data(), chunk.size()) > 0) {
    }
    ASSERT_EQ(fcntl(pipeFds[1], F_SETFL, 0), 0);
    auto p = startWith({"-r", "--region", kRegionArg}, pipeFds[1]);
    close(pipeFds[1]);
    ASSERT_TRUE(waitForRegion(*p)) << p->stderrText();
    x().key("Return");
    ASSERT_TRUE(waitUntil([&] { return !showsAWindow(*p); }, kPatience)) << p->stderrText();
    const auto png = x().clipboard("image/png", 10s);
    ASSERT_TRUE(png.has_value()) << p->stderrText();
    EXPECT_EQ(decodePng(*png), picture().copy(kRegion));
    p->signal(sig);
    EXPECT_EQ(p->wait(10s), 1) << p->stderrText();
    EXPECT_NE(p->stderrText().find("-r: standard output took"), std::string::npos) << p->stderrText();
    close(pipeFds[0]);
  }
}

// -r onto what cannot take the picture: told on stderr, status 1, and the
// clipboard served until another program takes it.
TEST_F(Faults, ARawWriteThatFailsIsToldAndEndsWithStatusOne) {
  struct Case {
    const char* name;
    std::function<int()> open;
    const char* told;
  };
  const Case cases[] = {
      {"full device", [] { return ::open("/dev/full", O_WRONLY | O_CLOEXEC); }, "No space left on device"},
      {"reader gone",
       [] {
         int fds[2];
         if (pipe2(fds, O_CLOEXEC) != 0) return -1;
         close(fds[0]);
         return fds[1];
       },
       "Broken pipe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int out = c.open();
    ASSERT_GE(out, 0);
    auto p = startWith({"-r", "--region", kRegionArg}, out);
    close(out);
    ASSERT_TRUE(waitForRegion(*p)) << p->stderrText();
    x().key("Return");
    ASSERT_TRUE(waitUntil([&] { return p->stderrText().find(c.told) != std::string::npos; }, kPatience))
        << p->stderrText();
    EXPECT_TRUE(p->running());
    const auto png = x().clipboard();
    ASSERT_TRUE(png.has_value());
    EXPECT_EQ(decodePng(*png), picture().copy(kRegion));
    ASSERT_TRUE(x().takeClipboard("next"));
    EXPECT_EQ(p->wait(kPatience), 1) << p->stderrText();
  }
}

// A hang-up ends the run as SIGTERM does, at every stage of the capture:
// status 0, and a save it meets is finished or not begun, never left as a
// temporary file.
TEST_F(Faults, AHangUpEndsEachStageCleanly) {
  const std::string shot = home() + "/shot.png";
  struct Stage {
    const char* name;
    std::function<void(Program&)> reach;
  };
  const Stage stages[] = {
      {"capturing", [](Program&) {}},
      {"serving the clipboard",
       [&](Program& p) {
         x().key("Return");
         ASSERT_TRUE(waitUntil([&] { return !showsAWindow(p); }, kPatience));
         ASSERT_TRUE(x().clipboard().has_value());
       }},
      {"saving", [&](Program&) { x().key("ctrl+s"); }},
  };
  for (const Stage& s : stages) {
    SCOPED_TRACE(s.name);
    std::filesystem::remove(shot);
    auto p = startWith({"--region", kRegionArg, "-p", shot});
    ASSERT_TRUE(waitForRegion(*p)) << p->stderrText();
    s.reach(*p);
    if (HasFatalFailure()) return;
    p->signal(SIGHUP);
    EXPECT_EQ(p->wait(kPatience), 0) << p->stderrText();
    for (const auto& e : std::filesystem::directory_iterator(home()))
      EXPECT_FALSE(e.path().filename().string().starts_with(".tolvane-")) << e.path();
    if (std::filesystem::exists(shot)) {
      EXPECT_EQ(decodePng(readFile(shot)), picture().copy(kRegion));
    }
  }
}

// A -p target that is no plain file is refused in the error box, and stays.
TEST_F(Faults, ASaveOntoAPipeIsRefusedInTheErrorBox) {
  const std::string fifo = home() + "/pipe.png";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto p = startWith({"--region", kRegionArg, "-p", fifo});
  ASSERT_TRUE(waitForRegion(*p)) << p->stderrText();
  x().key("ctrl+s");
  ASSERT_TRUE(x().waitForWindow("错误")) << p->stderrText();
  struct stat st {};
  ASSERT_EQ(stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  x().key("Return");
  EXPECT_TRUE(p->running());
}

}  // namespace
}  // namespace tolvane::e2e
