#include "kwin.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace tolvane::e2e {

namespace {

namespace fs = std::filesystem;

constexpr char kSocket[] = "wayland-tolvane";


// A file the plain user may run: copied out of a build folder it may not reach.
std::string reachableCopy(const std::string& built, const std::string& name) {
  if (!testUser()) return fs::canonical(built).string();
  const fs::path to = fs::path(scratchDir()) / name;
  std::error_code ec;
  fs::copy_file(built, to, fs::copy_options::overwrite_existing, ec);
  chmod(to.c_str(), 0755);
  return ec ? std::string() : fs::canonical(to).string();
}

bool owned(const std::string& path) { return giveToTestUser(path); }

}  // namespace

std::string kwinProgramPath() { return fs::canonical(programPath()).string(); }

std::vector<std::string> KWin::asUser(std::vector<std::string> argv) const {
  std::vector<std::string> out;
  if (const std::optional<TestUser> user = testUser())
    out = {"setpriv", "--reuid=" + std::to_string(user->uid), "--regid=" + std::to_string(user->gid),
           "--clear-groups", "--"};
  out.insert(out.end(), argv.begin(), argv.end());
  return out;
}

// KWin lets a program use its screenshot interface and fake input when an
// installed desktop entry names the program's full path and the interfaces.
bool KWin::writeEntries(const std::string& program, const std::string& helper) {
  const std::string apps = home_ + "/.local/share/applications";
  std::error_code ec;
  fs::create_directories(apps, ec);
  std::string entry = readFile(TOLVANE_DESKTOP_TEMPLATE);
  const std::string mark = "@TOLVANE_EXEC@";
  if (entry.find(mark) == std::string::npos || program.empty() || helper.empty()) return false;
  entry.replace(entry.find(mark), mark.size(), program);
  std::ofstream(apps + "/io.github.tolvane.Tolvane.desktop") << entry;
  std::ofstream(apps + "/tolvane-kwin-helper.desktop")
      << "[Desktop Entry]\nType=Application\nName=Tolvane test helper\nNoDisplay=true\nExec=" << helper
      << "\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n"
         "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n";
  for (const auto& p : fs::recursive_directory_iterator(home_)) owned(p.path().string());
  return owned(home_);
}

KWin::KWin(const std::vector<Image>& outputs, int scale) {
  char tmpl[] = "/tmp/tolvane-kwin-XXXXXX";
  if (outputs.empty() || !mkdtemp(tmpl)) return;
  dir_ = tmpl;
  chmod(dir_.c_str(), 0755);
  runtime_ = dir_ + "/run";
  home_ = dir_ + "/home";
  mkdir(runtime_.c_str(), 0700);
  mkdir(home_.c_str(), 0700);
  helper_ = reachableCopy(TOLVANE_KWIN_HELPER, "tolvane-kwin-helper");
  if (!writeEntries(kwinProgramPath(), helper_) || !owned(runtime_)) return;
  // A copy of KWin without the file capability the package gives it, which
  // a container does not allow.
  const std::string kwin = dir_ + "/kwin_wayland";
  std::error_code ec;
  fs::copy_file("/usr/bin/kwin_wayland", kwin, ec);
  if (ec) return;
  chmod(kwin.c_str(), 0755);

  const std::string bus = runtime_ + "/bus";
  bus_ = std::make_unique<Process>(asUser({"env", "-i", std::string(kRunMark) + "=" + TOLVANE_E2E_RUN_ID, "HOME=" + home_,
                                           "XDG_RUNTIME_DIR=" + runtime_, "PATH=/usr/bin:/bin",
                                           "WAYLAND_DISPLAY=" + std::string(kSocket), "XDG_CURRENT_DESKTOP=KDE",
                                           "XDG_SESSION_TYPE=wayland", "QT_QPA_PLATFORM=wayland",
                                           "dbus-daemon", "--config-file=/usr/share/dbus-1/session.conf",
                                           "--address=unix:path=" + bus, "--nofork", "--nopidfile"}),
                                   std::map<std::string, std::string>{});
  struct stat st {};
  if (!waitUntil([&] { return stat(bus.c_str(), &st) == 0 || !bus_->running(); }, kPatience) || !bus_->running())
    return;
  const Image& first = outputs.front();
  kwin_ = std::make_unique<Process>(
      asUser({"env", "-i", std::string(kRunMark) + "=" + TOLVANE_E2E_RUN_ID, "HOME=" + home_, "XDG_RUNTIME_DIR=" + runtime_,
              "PATH=/usr/bin:/bin", "DBUS_SESSION_BUS_ADDRESS=unix:path=" + bus, "XDG_CURRENT_DESKTOP=KDE",
              "XDG_SESSION_TYPE=wayland", kwin, "--virtual", "--width", std::to_string(first.width() / scale),
              "--height", std::to_string(first.height() / scale), "--scale", std::to_string(scale), "--output-count",
              std::to_string(outputs.size()), "--socket",
              kSocket, "--no-lockscreen", "--no-global-shortcuts"}),
      std::map<std::string, std::string>{});
  socket_ = runtime_ + "/" + kSocket;
  if (!waitUntil([&] { return stat(socket_.c_str(), &st) == 0 || !kwin_->running(); }, kPatience) ||
      !kwin_->running())
    return;
  startDesktop(outputs, scale);
}

// The backgrounds and the helper's input; ready once the desktop shows.
void KWin::startDesktop(const std::vector<Image>& outputs, int scale) {
  std::vector<std::string> bg{"swaybg"};
  Image desktop(outputs.front().width() * static_cast<int>(outputs.size()), outputs.front().height());
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const std::string file = dir_ + "/background-" + std::to_string(i) + ".png";
    if (!savePng(outputs[i], file)) return;
    chmod(file.c_str(), 0644);
    for (const std::string& a : {std::string("-o"), "Virtual-" + std::to_string(i), std::string("-i"), file,
                                 std::string("-m"), std::string("fill")})
      bg.push_back(a);
    desktop.blit(outputs.front().width() * static_cast<int>(i), 0, outputs[i], 0, 0, outputs[i].width(),
                 outputs[i].height());
  }
  background_ = start(bg);
  int toHelper[2], fromHelper[2];
  if (pipe2(toHelper, O_CLOEXEC) != 0 || pipe2(fromHelper, O_CLOEXEC) != 0) return;
  auto env = clientEnv();
  input_ = std::make_unique<Process>(asUser({helper_, "input"}), env, toHelper[0], fromHelper[1]);
  close(toHelper[0]);
  close(fromHelper[1]);
  inputIn_ = toHelper[1];
  inputOut_ = fromHelper[0];
  ok_ = waitUntil([&] { return grab() == desktop || !kwin_->running(); }, kPatience) && kwin_->running() &&
        move(desktop.width() / scale - 1, desktop.height() / scale - 1);
}

KWin::~KWin() {
  if (inputIn_ >= 0) close(inputIn_);
  if (inputOut_ >= 0) close(inputOut_);
  input_.reset();
  copier_.reset();
  background_.reset();
  kwin_.reset();
  bus_.reset();
  if (!dir_.empty()) run({"rm", "-rf", dir_});
}

std::string KWin::trouble() const {
  std::string why;
  if (kwin_) why += "kwin: " + kwin_->stderrText().substr(0, 4000) + "\n";
  if (bus_) why += "session bus and portals: " + bus_->stderrText().substr(0, 4000) + "\n";
  if (background_) why += "swaybg: " + background_->stderrText().substr(0, 1000) + "\n";
  if (input_) why += "helper: " + input_->stderrText().substr(0, 1000) + "\n";
  if (kwin_ && !helper_.empty()) {
    const RunResult shot = client({helper_, "shot"});
    const Image shown = fromPpm(shot.out);
    why += "screenshot: status " + std::to_string(shot.status) + ", " + std::to_string(shown.width()) + "x" +
           std::to_string(shown.height()) + ", " + shot.err.substr(0, 1000) + "\n";
  }
  return why;
}

std::map<std::string, std::string> KWin::clientEnv() const {
  return {{"WAYLAND_DISPLAY", socket_},
          {"XDG_RUNTIME_DIR", runtime_},
          {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + runtime_ + "/bus"},
          {"HOME", home_},
          {"XDG_CURRENT_DESKTOP", "KDE"},
          {"XDG_SESSION_TYPE", "wayland"},
          {"XDG_CONFIG_HOME", home_ + "/.config"},
          {"XDG_DATA_HOME", home_ + "/.local/share"},
          {"XDG_CACHE_HOME", home_ + "/.cache"},
          {"DISPLAY", ""},
          {"QT_QPA_PLATFORM", ""}};
}

std::unique_ptr<Process> KWin::start(const std::vector<std::string>& argv,
                                     const std::map<std::string, std::string>& extra) const {
  auto env = clientEnv();
  for (const auto& [k, v] : extra) env[k] = v;
  return std::make_unique<Process>(asUser(argv), env);
}

RunResult KWin::client(const std::vector<std::string>& argv, Millis timeout) const {
  return run(asUser(argv), clientEnv(), timeout);
}

Image KWin::grab() const {
  const RunResult r = client({helper_, "shot"});
  return r.status == 0 ? fromPpm(r.out) : Image{};
}

std::optional<std::string> KWin::paste(const std::string& type) const {
  const RunResult r = client({"wl-paste", "--no-newline", "-t", type}, 5s);
  if (r.status != 0) return std::nullopt;
  return r.out;
}

std::optional<Image> KWin::pastedPicture() const {
  std::optional<std::string> png;
  if (!waitUntil([&] { return (png = paste("image/png")).has_value(); }, kPatience)) return std::nullopt;
  return decodePng(*png);
}

bool KWin::copyText(const std::string& text) {
  copier_ = start({"wl-copy", "--foreground", text});
  return waitUntil([&] { return paste("text/plain") == text; }, kPatience);
}

bool KWin::helperSays(const std::string& line) { return e2e::helperSays(inputIn_, inputOut_, line); }

bool KWin::move(int x, int y) { return helperSays("move " + std::to_string(x) + " " + std::to_string(y)); }
bool KWin::press(int button) { return helperSays("down " + std::to_string(button)); }
bool KWin::release(int button) { return helperSays("up " + std::to_string(button)); }

bool KWin::drag(int x0, int y0, int x1, int y1) {
  bool ok = move(x0, y0) && press();
  for (int i = 1; ok && i <= 4; ++i) ok = move(x0 + (x1 - x0) * i / 4, y0 + (y1 - y0) * i / 4);
  return ok && release();
}

bool KWin::click(int x, int y, int button) { return move(x, y) && press(button) && release(button); }
bool KWin::doubleClick(int x, int y) { return click(x, y) && press() && release(); }

bool KWin::keys(const std::vector<int>& codes) {
  for (const int c : codes)
    if (!helperSays("keydown " + std::to_string(c))) return false;
  for (auto it = codes.rbegin(); it != codes.rend(); ++it)
    if (!helperSays("keyup " + std::to_string(*it))) return false;
  return true;
}

}  // namespace tolvane::e2e
