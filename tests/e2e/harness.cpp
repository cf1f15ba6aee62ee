// The harness's processes: commands run to their end, the program under
// test, and the files and folders they share.
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "harness.h"
#include "harness_x11.h"

extern char** environ;

namespace tolvane::e2e {
namespace {

// This test program's environment with `extra` over it, and the mark that
// every process the tests start carries, so that a check after the suite can
// find any that outlived its test.
std::vector<std::string> markedEnv(const std::map<std::string, std::string>& extra) {
  std::map<std::string, std::string> all;
  for (char** e = environ; *e; ++e) {
    const std::string s(*e);
    const auto eq = s.find('=');
    if (eq != std::string::npos) all[s.substr(0, eq)] = s.substr(eq + 1);
  }
  for (const auto& [k, v] : extra) all[k] = v;
  all[kRunMark] = TOLVANE_E2E_RUN_ID;
  std::vector<std::string> out;
  for (const auto& [k, v] : all) out.push_back(k + "=" + v);
  return out;
}

std::vector<char*> cstrs(std::vector<std::string>& v);

// A session bus of this test program's own, with no services to start, so a
// program under test neither reaches the desktop's bus nor auto-launches one
// that outlives it; any user may connect (a program may run as another). It starts with the first process that needs it and ends
// with the test program, even when that one dies (PR_SET_PDEATHSIG).
class PrivateBus {
 public:
  PrivateBus() {
    const std::string config = scratchDir() + "/session-bus.conf";
    std::ofstream(config) << "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                             "<auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
                             "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                             "<allow own=\"*\"/></policy></busconfig>\n";
    int p[2];
    if (pipe(p) != 0) return;
    std::vector<std::string> args{"dbus-daemon", "--config-file=" + config, "--nofork", "--nopidfile",
                                  "--print-address=" + std::to_string(p[1])};
    std::vector<std::string> envs = markedEnv({});
    auto a = cstrs(args);
    auto e = cstrs(envs);
    // Its warnings (it may not raise its file limit) would only clutter the tests' output.
    const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
      close(p[0]);
      if (quiet >= 0) dup2(quiet, 2);
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (getppid() != parent) _exit(1);
      setpgid(0, 0);
      execvpe(a[0], a.data(), e.data());
      _exit(127);
    }
    close(p[1]);
    if (quiet >= 0) close(quiet);
    char buf[512];
    ssize_t n;
    while (address_.find('\n') == std::string::npos && (n = read(p[0], buf, sizeof buf)) > 0)
      address_.append(buf, static_cast<std::size_t>(n));
    close(p[0]);
    address_ = address_.substr(0, address_.find('\n'));
  }
  ~PrivateBus() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int st;
    waitpid(pid_, &st, 0);
  }
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;
  // Empty when dbus-daemon could not start: a program then finds no bus.
  const std::string& address() const { return address_; }

 private:
  pid_t pid_ = -1;
  std::string address_;
};

// What a process the tests start gets: the private bus unless the test
// gives it one of its own.
std::vector<std::string> envWith(const std::map<std::string, std::string>& extra) {
  static PrivateBus bus;
  if (extra.count("DBUS_SESSION_BUS_ADDRESS")) return markedEnv(extra);
  auto all = extra;
  all["DBUS_SESSION_BUS_ADDRESS"] = bus.address().empty() ? "unix:path=/nonexistent" : bus.address();
  return markedEnv(all);
}

std::vector<char*> cstrs(std::vector<std::string>& v) {
  std::vector<char*> out;
  for (auto& s : v) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

pid_t spawn(std::vector<std::string> argv, const std::map<std::string, std::string>& env, int in, int out, int err) {
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  if (in >= 0) posix_spawn_file_actions_adddup2(&fa, in, 0);
  if (out >= 0) posix_spawn_file_actions_adddup2(&fa, out, 1);
  if (err >= 0) posix_spawn_file_actions_adddup2(&fa, err, 2);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  auto envs = envWith(env);
  auto a = cstrs(argv);
  auto e = cstrs(envs);
  pid_t pid = -1;
  if (posix_spawnp(&pid, a[0], &fa, &attr, a.data(), e.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&attr);
  return pid;
}

RunResult run(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env, Millis timeout,
              const std::string& input) {
  RunResult r;
  int inP[2], outP[2], errP[2];
  if (pipe2(inP, O_CLOEXEC) || pipe2(outP, O_CLOEXEC) || pipe2(errP, O_CLOEXEC)) return r;
  const pid_t pid = spawn(argv, env, inP[0], outP[1], errP[1]);
  close(inP[0]);
  close(outP[1]);
  close(errP[1]);
  if (!input.empty()) {
    const ssize_t w = write(inP[1], input.data(), input.size());
    (void)w;
  }
  close(inP[1]);
  if (pid < 0) {
    close(outP[0]);
    close(errP[0]);
    return r;
  }
  // Read both pipes until they close or time runs out.
  const auto end = std::chrono::steady_clock::now() + timeout;
  pollfd fds[2] = {{outP[0], POLLIN, 0}, {errP[0], POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<Millis>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    if (poll(fds, 2, static_cast<int>(left)) <= 0) continue;
    for (auto& f : fds) {
      if (f.fd < 0 || !(f.revents & (POLLIN | POLLHUP))) continue;
      char buf[65536];
      const ssize_t n = read(f.fd, buf, sizeof buf);
      if (n > 0) {
        (f.fd == outP[0] ? r.out : r.err).append(buf, static_cast<std::size_t>(n));
      } else {
        close(f.fd);
        f.fd = -1;
        --open;
      }
    }
  }
  for (auto& f : fds)
    if (f.fd >= 0) close(f.fd);
  int st = 0;
  if (!waitUntil([&] { return waitpid(pid, &st, WNOHANG) == pid; }, std::chrono::duration_cast<Millis>(
                                                                          std::max(end - std::chrono::steady_clock::now(),
                                                                                   std::chrono::steady_clock::duration(Millis(50)))))) {
    kill(-pid, SIGKILL);
    waitpid(pid, &st, 0);
    return r;
  }
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  return r;
}

Image fromPpm(const std::string& bytes) {
  int w = 0, h = 0, max = 0, used = 0;
  if (std::sscanf(bytes.c_str(), "P6 %d %d %d%n", &w, &h, &max, &used) != 3 || max != 255 || w <= 0 || h <= 0)
    return {};
  const std::size_t start = static_cast<std::size_t>(used) + 1;
  if (bytes.size() < start + static_cast<std::size_t>(w) * h * 3) return {};
  Image img(w, h);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + start);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x, p += 3) img.setPixel(x, y, 0xFF000000u | (p[0] << 16) | (p[1] << 8) | p[2]);
  return img;
}

bool helperSays(int in, int out, const std::string& line) {
  const std::string sent = line + "\n";
  if (write(in, sent.data(), sent.size()) != static_cast<ssize_t>(sent.size())) return false;
  std::string answer;
  char c = 0;
  while (answer != "ok\n") {
    pollfd p{out, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(kPatience.count())) != 1 || read(out, &c, 1) != 1) return false;
    answer += c;
  }
  return true;
}

bool waitUntil(const std::function<bool()>& ready, Millis timeout, Millis every) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (ready()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(every);
  }
}

Process::Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env, int in,
                 int out, Millis grace)
    : grace_(grace) {
  errPath_ = scratchDir() + "/stderr-" + std::to_string(getpid()) + "-" + std::to_string(std::rand()) + ".txt";
  const int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int null = in < 0 ? open("/dev/null", O_RDONLY | O_CLOEXEC) : -1;
  pid_ = spawn(argv, env, in < 0 ? null : in, out, err);
  close(err);
  if (null >= 0) close(null);
}

Process::~Process() {
  if (pid_ > 0 && !status_) {
    if (grace_ > 0ms && running()) {
      kill(-pid_, SIGTERM);
      wait(grace_);
    }
    if (!status_) {
      kill(-pid_, SIGKILL);
      int st;
      waitpid(pid_, &st, 0);
    }
  }
  unlink(errPath_.c_str());
}

bool Process::running() {
  if (status_ || pid_ <= 0) return false;
  int st = 0;
  if (waitpid(pid_, &st, WNOHANG) == pid_) {
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return false;
  }
  return true;
}

std::optional<int> Process::wait(Millis timeout) {
  waitUntil([&] { return !running(); }, timeout);
  return status_;
}

void Process::signal(int sig) const {
  if (pid_ > 0) kill(pid_, sig);
}

std::string Process::stderrText() const { return readFile(errPath_); }

namespace {

std::map<std::string, std::string> withDisplay(std::map<std::string, std::string> env, const XServer& x) {
  env["DISPLAY"] = x.display();
  return env;
}

}  // namespace

// setpriv changes the user and execs in place, so the process keeps its id
// (the one its windows name), unlike su or runuser, which fork.
std::vector<std::string> asTestUser(const std::vector<std::string>& argv) {
  const std::optional<TestUser> user = testUser();
  if (!user) return argv;
  std::vector<std::string> out{"setpriv", "--reuid=" + std::to_string(user->uid),
                               "--regid=" + std::to_string(user->gid), "--clear-groups", "--"};
  out.insert(out.end(), argv.begin(), argv.end());
  return out;
}

Program::Program(const XServer& x, const std::vector<std::string>& argv, std::map<std::string, std::string> env,
                 int out)
    : Process(asTestUser(argv), withDisplay(std::move(env), x), -1, out, 0ms) {}

std::optional<TestUser> testUser() {
  static const std::optional<TestUser> user = []() -> std::optional<TestUser> {
    if (geteuid() != 0) return std::nullopt;
    constexpr char kName[] = "tolvane-e2e";
    if (!getpwnam(kName))
      run({"useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", kName});
    const passwd* pw = getpwnam(kName);
    if (!pw) return std::nullopt;
    // Whatever the test keeps in its scratch folder lies within that user's reach.
    chmod(scratchDir().c_str(), 0711);
    return TestUser{pw->pw_uid, pw->pw_gid};
  }();
  return user;
}

bool giveToTestUser(const std::string& path) {
  const std::optional<TestUser> user = testUser();
  return !user || chown(path.c_str(), user->uid, user->gid) == 0;
}

namespace {

// The program and its module, copied where the test's plain user can reach
// them: the build folder may lie where only root can (a clone under /root),
// and the program must find its module beside itself. The copy goes when the
// test program ends.
class ProgramCopy {
 public:
  explicit ProgramCopy(const std::string& built) : path_(built) {
    namespace fs = std::filesystem;
    const fs::path from = fs::path(built).parent_path(), dir = fs::path(scratchDir()) / "program";
    std::error_code ec;
    fs::create_directories(dir, ec);
    for (const char* name : {"tolvane", "tolvane-capture.so"})
      if (!ec) fs::copy_file(from / name, dir / name, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec, ec);
    if (!ec) {
      dir_ = dir.string();
      path_ = (dir / "tolvane").string();
    }
  }
  ~ProgramCopy() {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_, dir_;
};

}  // namespace

std::string programPath() {
  if (const char* p = std::getenv("TOLVANE_PROGRAM")) return p;
  if (!testUser()) return TOLVANE_PROGRAM_DEFAULT;
  static const ProgramCopy copy(TOLVANE_PROGRAM_DEFAULT);
  return copy.path();
}

std::string scratchDir() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/tolvane-e2e-XXXXXX";
    const char* d = mkdtemp(tmpl);
    return std::string(d ? d : "/tmp");
  }();
  return dir;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::optional<long long> procStatus(pid_t pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(field + ":", 0) == 0) return std::atoll(line.c_str() + field.size() + 1);
  return std::nullopt;
}

std::string procMappings(pid_t pid) { return readFile("/proc/" + std::to_string(pid) + "/maps"); }

}  // namespace tolvane::e2e
