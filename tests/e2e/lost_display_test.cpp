// The X server going away at each stage of a run, and a program whose own
// files are not to be trusted (a module cut short, a set-user-ID copy): each
// ends with status 1 and a line saying why, never with a signal.
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "fixture.h"

namespace tolvane::e2e {
namespace {

namespace fs = std::filesystem;

class LostDisplay : public E2E {
 protected:
  // Whether a run holds the instance lock, which it takes once connected.
  bool lockHeld() const {
    const int fd = open((env().at("XDG_RUNTIME_DIR") + "/tolvane.lock").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return held;
  }
  // Kills the test's X server: the Xvfb child of this process.
  void killXServer() {
    pid_t server = 0;
    for (const auto& e : fs::directory_iterator("/proc")) {
      std::ifstream stat(e.path() / "stat");
      pid_t pid = 0, parent = 0;
      std::string name;
      char state = 0;
      if (!(stat >> pid >> name >> state >> parent) || parent != getpid() || name != "(Xvfb)") continue;
      server = pid;
    }
    ASSERT_GT(server, 0);
    ASSERT_EQ(kill(server, SIGKILL), 0);
  }
};

TEST_F(LostDisplay, TheXServerGoneAtAnyStageEndsWithStatusOneAndWhy) {
  struct Stage {
    const char* name;
    std::vector<std::string> args;
    std::function<bool(Program&)> reach;
    const char* told;  // in stderr; "" for anything
  };
  const Stage stages[] = {
      {"during --delay", {"-d", "5000"}, [&](Program&) { return waitUntil([&] { return lockHeld(); }, kPatience); },
       "the X display"},
      {"capturing", {}, [&](Program& p) { return waitForVeil(p); }, ""},
      {"serving the clipboard",
       {"--region", "300x200+120+90"},
       [&](Program& p) {
         if (!waitForCaptureWindow(p) || !waitUntil([&] { return at(120, 140) == 0xFF007AECu; }, kPatience))
           return false;
         x().key("Return");
         return waitUntil([&] { return !showsAWindow(p); }, kPatience) && x().clipboard().has_value();
       },
       ""},
  };
  for (const Stage& s : stages) {
    SCOPED_TRACE(s.name);
    // A server of the stage's own: the one it kills.
    TearDown();
    SetUp();
    std::vector<std::string> argv{programPath()};
    argv.insert(argv.end(), s.args.begin(), s.args.end());
    Program p(x(), argv, env());
    ASSERT_TRUE(s.reach(p)) << p.stderrText();
    killXServer();
    EXPECT_EQ(p.wait(kPatience), 1) << p.stderrText();
    EXPECT_NE(p.stderrText().find(s.told), std::string::npos) << p.stderrText();
  }
}

// A copy of the program in a folder of its own, readable by everyone.
class OwnCopy : public E2E {
 protected:
  void SetUp() override {
    E2E::SetUp();
    char tmpl[] = "/tmp/tolvane-copy-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    chmod(dir_.c_str(), 0755);
    fs::copy_file(programPath(), dir_ + "/tolvane");
  }
  void TearDown() override {
    fs::remove_all(dir_);
    E2E::TearDown();
  }
  std::string module() const { return fs::path(programPath()).parent_path() / "tolvane-capture.so"; }
  std::string dir_;
};

// The capture stage beside the copy is cut short, empty or not a module at
// all: no SIGBUS, a line naming it, status 1, and nothing shown.
TEST_F(OwnCopy, AModuleThatIsNotWholeIsNamedNotMapped) {
  const auto size = fs::file_size(module());
  const std::pair<std::uintmax_t, const char*> cuts[] = {
      {size / 2, "cut off"}, {size - 64, "cut off"}, {0, "too short"}};
  for (const auto& [keep, told] : cuts) {
    SCOPED_TRACE(keep);
    fs::copy_file(module(), dir_ + "/tolvane-capture.so", fs::copy_options::overwrite_existing);
    fs::resize_file(dir_ + "/tolvane-capture.so", keep);
    MapWatch maps(x());
    const RunResult r = run({dir_ + "/tolvane"}, [&] {
      auto e = env();
      e["DISPLAY"] = x().display();
      return e;
    }(), kPatience);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("tolvane-capture.so cannot be loaded"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(told), std::string::npos) << r.err;
  }
}

// A set-user-ID or set-group-ID copy run by another user refuses at once:
// no display opened, no lock written into that user's folder.
TEST_F(OwnCopy, ASetIdCopyRefusesToRun) {
  const passwd* user = getpwnam("tolvane-e2e");
  if (geteuid() != 0 || !user) GTEST_SKIP() << "needs root and the user tolvane-e2e";
  fs::copy_file(module(), dir_ + "/tolvane-capture.so");
  const std::string run_ = dir_ + "/run";
  fs::create_directory(run_);
  ASSERT_EQ(chown(run_.c_str(), user->pw_uid, user->pw_gid), 0);
  for (const mode_t bits : {S_ISUID, S_ISGID}) {
    SCOPED_TRACE(bits);
    ASSERT_EQ(chmod((dir_ + "/tolvane").c_str(), 0755 | bits), 0);
    MapWatch maps(x());
    const RunResult r = run({"runuser", "-u", "tolvane-e2e", "--", "env", "DISPLAY=" + x().display(),
                             "XDG_RUNTIME_DIR=" + run_, "HOME=" + run_, dir_ + "/tolvane"},
                            {}, kPatience);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(bits == S_ISUID ? "set-user-ID" : "set-group-ID"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(run_ + "/tolvane.lock"));
    EXPECT_EQ(maps.maps(), 0);
  }
}

}  // namespace
}  // namespace tolvane::e2e
