#include "gnome_shell.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../test_folders.h"

namespace tolvane::e2e {

namespace {

constexpr char kSessionMark[] = "TOLVANE_GNOME_SESSION";

// A bus of the session's own that any user may use: the tests, as root,
// reach the services of a session that runs as the plain test user.
void writeBusConfig(const std::string& path, const std::string& type, const std::string& socket, bool services) {
  std::ofstream(path) << "<busconfig><type>" << type << "</type><listen>unix:path=" << socket
                      << "</listen><auth>EXTERNAL</auth>" << (services ? "<standard_session_servicedirs/>" : "")
                      << "<policy context=\"default\"><allow user=\"*\"/><allow send_destination=\"*\" "
                         "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
  chmod(path.c_str(), 0644);
}

bool exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

// Folders the session's user owns.
bool makeOwnedDir(const std::string& path, mode_t mode) {
  return (mkdir(path.c_str(), mode) == 0 || exists(path)) && chmod(path.c_str(), mode) == 0 && giveToTestUser(path);
}

}  // namespace

std::vector<std::string> GnomeShell::asUser(const std::vector<std::string>& argv) {
  return asTestUser(argv);
}

GnomeShell::GnomeShell(const Image& picture) {
  if (!start(picture) && failure_.empty()) failure_ = "the session did not start";
}

GnomeShell::~GnomeShell() {
  if (helperIn_ >= 0) close(helperIn_);
  if (helperOut_ >= 0) close(helperOut_);
  hands_.reset();
  shell_.reset();
  pipewire_.reset();
  sessionBus_.reset();
  systemBus_.reset();
  endStrays();
  std::error_code ec;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
}

std::map<std::string, std::string> GnomeShell::clientEnv() const {
  auto env = homeEnv(home_);
  env.insert({{"XDG_RUNTIME_DIR", run_},
              {"WAYLAND_DISPLAY", "wayland-0"},
              {"DISPLAY", ""},
              {"QT_QPA_PLATFORM", ""},
              {"XDG_CURRENT_DESKTOP", "GNOME"},
              {"XDG_SESSION_TYPE", "wayland"},
              {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + run_ + "/bus"},
              {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + dir_ + "/system-bus"},
              {"NO_AT_BRIDGE", "1"},
              {kSessionMark, dir_}});
  return env;
}

// What the session started and that left its process group (the shell
// starts ibus-daemon, which makes itself a session leader) is found by the
// mark that the session's environment carries, and ended.
void GnomeShell::endStrays() const {
  const std::string mark = std::string(kSessionMark) + "=" + dir_;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string pid = e.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::istringstream env(readFile(e.path().string() + "/environ"));
    for (std::string var; std::getline(env, var, '\0');)
      if (var == mark) {
        kill(std::stoi(pid), SIGKILL);
        break;
      }
  }
}

// An empty /run/systemd in the shell's mount namespace, where there is one
// at all. Where / is no mount point (a chroot) it cannot be made private:
// then /run, which holds the one mount made here, is.
constexpr char kEmptySystemd[] =
    "[ ! -d /run/systemd ] || { { mount --make-rprivate / 2>/dev/null || mount --make-rprivate /run; } && "
    "mount -t tmpfs tmpfs /run/systemd; } && exec \"$@\"";

bool GnomeShell::start(const Image& picture) {
  dir_ = scratchDir() + "/gnome";
  run_ = dir_ + "/run";
  home_ = dir_ + "/home";
  if (!makeOwnedDir(dir_, 0755) || !makeOwnedDir(run_, 0700) || !makeOwnedDir(home_, 0700) ||
      !makeOwnedDir(home_ + "/Pictures", 0755) || !makeOwnedDir(home_ + "/.config", 0700))
    return false;
  // As on a desktop's first login: the shell saves the portal's pictures to
  // the Pictures folder named here (without it, to the home).
  const std::string userDirs = home_ + "/.config/user-dirs.dirs";
  std::ofstream(userDirs) << "XDG_PICTURES_DIR=\"$HOME/Pictures\"\n";
  if (!giveToTestUser(userDirs)) return false;
  const std::string background = dir_ + "/background.png";
  if (!savePng(picture, background) || chmod(background.c_str(), 0644) != 0) return false;
  helper_ = dir_ + "/hands";
  std::error_code ec;
  std::filesystem::copy_file(TOLVANE_GNOME_HELPER, helper_, ec);
  if (ec || chmod(helper_.c_str(), 0755) != 0) return false;
  writeBusConfig(dir_ + "/system.conf", "system", dir_ + "/system-bus", false);
  writeBusConfig(dir_ + "/session.conf", "session", run_ + "/bus", true);
  const auto env = clientEnv();
  systemBus_ = std::make_unique<Process>(
      asUser({"dbus-daemon", "--config-file=" + dir_ + "/system.conf", "--nofork", "--nopidfile"}), env);
  sessionBus_ = std::make_unique<Process>(
      asUser({"dbus-daemon", "--config-file=" + dir_ + "/session.conf", "--nofork", "--nopidfile"}), env);
  if (!waitUntil([&] { return exists(dir_ + "/system-bus") && exists(run_ + "/bus"); }, kPatience))
    return (failure_ = "no private buses: " + sessionBus_->stderrText()), false;
  pipewire_ = std::make_unique<Process>(asUser({"pipewire"}), env);
  if (!waitUntil([&] { return exists(run_ + "/pipewire-0"); }, kPatience))
    return (failure_ = "no PipeWire: " + pipewire_->stderrText()), false;
  // The shell wants a system bus, and an empty /run/systemd: the one of a
  // container here would send it looking for a login session. Root gives it
  // one in a mount namespace of its own.
  std::vector<std::string> shell = asUser(
      {"gnome-shell", "--headless", "--wayland", "--no-x11", "--virtual-monitor",
       std::to_string(picture.width()) + "x" + std::to_string(picture.height())});
  if (geteuid() == 0) {
    std::vector<std::string> ns{"unshare", "-m", "--propagation", "unchanged", "sh", "-c", kEmptySystemd, "sh"};
    ns.insert(ns.end(), shell.begin(), shell.end());
    shell = ns;
  }
  shell_ = std::make_unique<Process>(shell, env);
  if (!waitUntil([&] { return exists(run_ + "/wayland-0") || !shell_->running(); }, kPatience) || !shell_->running())
    return (failure_ = "gnome-shell did not start: " + shell_->stderrText()), false;
  if (!startHelper()) return false;
  // The known picture as the background, and the overview the shell starts
  // in closed: then the desktop below the top bar is that picture.
  for (const auto& [key, value] : {std::pair<std::string, std::string>{"picture-uri", "file://" + background},
                                   {"picture-options", "centered"}})
    if (client({"gsettings", "set", "org.gnome.desktop.background", key, value}).status != 0)
      return (failure_ = "gsettings could not set the background"), false;
  // The overview comes up once the shell's start-up is over, which may be
  // well after its socket on a busy machine; Esc before then is lost.
  background_ = picture.copy({0, kTopBar, picture.width(), picture.height()});
  if (!waitUntil([&] { return overviewShown().value_or(false); }, kPatience))
    return (failure_ = "the shell never showed its overview: " + shell_->stderrText()), false;
  if (!showDesktop()) return (failure_ = "the desktop never showed the background: " + shell_->stderrText()), false;
  if (!setPermission("yes")) return (failure_ = "the screenshot permission could not be stored"), false;
  return true;
}

// mutter's remote desktop shows up on the bus a moment after the shell's
// socket (many seconds on a busy machine): the helper is started again
// until it has its session.
bool GnomeShell::startHelper() {
  const bool started = waitUntil(
      [&] {
        if (helperIn_ >= 0) close(helperIn_);
        if (helperOut_ >= 0) close(helperOut_);
        helperIn_ = helperOut_ = -1;
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0) return false;
        if (pipe2(out, O_CLOEXEC) != 0) return close(in[0]), close(in[1]), false;
        hands_ = std::make_unique<Process>(asUser({helper_}), clientEnv(), in[0], out[1]);
        close(in[0]);
        close(out[1]);
        helperIn_ = in[1];
        helperOut_ = out[0];
        return says("");
      },
      3 * kPatience, 200ms);
  if (!started) failure_ = "no remote desktop session: " + hands_->stderrText();
  return started;
}

// Sends a line (none when empty) and reads the helper's answer: true on "ok".
bool GnomeShell::says(const std::string& line) {
  if (!line.empty()) {
    const std::string out = line + "\n";
    if (write(helperIn_, out.data(), out.size()) != static_cast<ssize_t>(out.size())) return false;
  }
  std::string answer;
  char c = 0;
  while (answer.empty() || answer.back() != '\n') {
    pollfd p{helperOut_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(kPatience.count())) != 1 || read(helperOut_, &c, 1) != 1) return false;
    answer += c;
  }
  return answer.rfind("ok", 0) == 0;
}

RunResult GnomeShell::client(const std::vector<std::string>& argv, Millis timeout) const {
  return run(asUser(argv), clientEnv(), timeout);
}

Image GnomeShell::grab() {
  const std::string path = dir_ + "/screen.png";
  if (!says("shot " + path)) return {};
  Image img = decodePng(readFile(path));
  unlink(path.c_str());
  return img;
}

std::optional<Image> GnomeShell::pastedPicture(Millis timeout) const {
  // mutter hands the clipboard only to a client with the keyboard focus:
  // wl-paste takes it with a surface of its own for the moment it reads.
  const RunResult r = client({"wl-paste", "--no-newline", "-t", "image/png"}, timeout);
  if (r.status != 0) return std::nullopt;
  return decodePng(r.out);
}

bool GnomeShell::move(int x, int y) { return says("move " + std::to_string(x) + " " + std::to_string(y)); }
bool GnomeShell::press(int button) { return says("button " + std::to_string(button) + " 1"); }
bool GnomeShell::release(int button) { return says("button " + std::to_string(button) + " 0"); }

bool GnomeShell::drag(int x0, int y0, int x1, int y1) {
  bool ok = move(x0, y0) && press();
  // Steps on the way, as a hand would make them.
  for (int i = 1; ok && i <= 4; ++i) ok = move(x0 + (x1 - x0) * i / 4, y0 + (y1 - y0) * i / 4);
  return ok && release();
}

bool GnomeShell::click(int x, int y) { return move(x, y) && press() && release(); }
bool GnomeShell::doubleClick(int x, int y) { return click(x, y) && press() && release(); }

bool GnomeShell::keys(const std::vector<unsigned>& keysyms) {
  bool ok = true;
  for (unsigned k : keysyms) ok = ok && says("key " + std::to_string(k) + " 1");
  for (auto k = keysyms.rbegin(); k != keysyms.rend(); ++k) ok = says("key " + std::to_string(*k) + " 0") && ok;
  return ok;
}

namespace {
const std::vector<std::string> kStore = {"gdbus", "call", "--session", "--dest",
                                         "org.freedesktop.impl.portal.PermissionStore", "--object-path",
                                         "/org/freedesktop/impl/portal/PermissionStore", "--method"};
}

std::optional<bool> GnomeShell::overviewShown() const {
  const RunResult r = client({"gdbus", "call", "--session", "--dest", "org.gnome.Shell", "--object-path",
                              "/org/gnome/Shell", "--method", "org.freedesktop.DBus.Properties.Get", "org.gnome.Shell",
                              "OverviewActive"});
  // (<true>,)
  if (r.status != 0) return std::nullopt;
  if (r.out.find("<true>") != std::string::npos) return true;
  if (r.out.find("<false>") != std::string::npos) return false;
  return std::nullopt;
}

bool GnomeShell::showDesktop() {
  return waitUntil(
      [&] {
        const std::optional<bool> overview = overviewShown();
        if (!overview) return false;
        if (*overview) return keys({keysym::kEscape}), false;
        return grab().copy({0, kTopBar, background_.width(), kTopBar + background_.height()}) == background_;
      },
      kPatience, 100ms);
}

bool GnomeShell::setPermission(const std::optional<std::string>& answer) const {
  std::vector<std::string> argv = kStore;
  if (answer) {
    for (const std::string& a : {std::string("org.freedesktop.impl.portal.PermissionStore.SetPermission"),
                                 std::string("screenshot"), std::string("true"), std::string("screenshot"),
                                 std::string(""), "['" + *answer + "']"})
      argv.push_back(a);
    return client(argv).status == 0 && permission() == answer;
  }
  for (const char* a : {"org.freedesktop.impl.portal.PermissionStore.DeletePermission", "screenshot", "screenshot", ""})
    argv.push_back(a);
  client(argv);  // fails when there is nothing to delete
  return !permission();
}

std::optional<std::string> GnomeShell::permission() const {
  std::vector<std::string> argv = kStore;
  for (const char* a : {"org.freedesktop.impl.portal.PermissionStore.Lookup", "screenshot", "screenshot"})
    argv.push_back(a);
  const RunResult r = client(argv);
  // ({'': ['yes']}, <byte 0x00>)
  const std::string mark = "'': ['";
  const std::size_t at = r.out.find(mark);
  if (r.status != 0 || at == std::string::npos) return std::nullopt;
  const std::size_t from = at + mark.size(), to = r.out.find('\'', from);
  if (to == std::string::npos) return std::nullopt;
  return r.out.substr(from, to - from);
}

}  // namespace tolvane::e2e
