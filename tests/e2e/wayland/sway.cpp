#include "sway.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>

namespace tolvane::e2e {

int waylandShmBuffers(pid_t pid, std::uint64_t bytes) {
  std::istringstream maps(procMappings(pid));
  int n = 0;
  for (std::string line; std::getline(maps, line);) {
    if (line.find("memfd:wayland-shm") == std::string::npos) continue;
    const std::size_t dash = line.find('-');
    const std::uint64_t from = std::stoull(line.substr(0, dash), nullptr, 16),
                        to = std::stoull(line.substr(dash + 1), nullptr, 16);
    n += to - from >= bytes;
  }
  return n;
}

namespace {

// sway refuses to run as root: as root, the compositor runs as this user.
constexpr char kSwayUser[] = "tolvane-e2e";

std::optional<uid_t> swayUser() {
  if (const passwd* pw = getpwnam(kSwayUser)) return pw->pw_uid;
  const RunResult r = run({"useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", kSwayUser});
  if (r.status != 0) return std::nullopt;
  if (const passwd* pw = getpwnam(kSwayUser)) return pw->pw_uid;
  return std::nullopt;
}

// The compositor's socket, once it has made one.
std::string findSocket(const std::string& runtime) {
  std::string found;
  if (DIR* d = opendir(runtime.c_str())) {
    while (const dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name.rfind("wayland-", 0) == 0 && name.find('.') == std::string::npos) found = runtime + "/" + name;
    }
    closedir(d);
  }
  return found;
}

// The compositor's command socket.
std::string findIpcSocket(const std::string& runtime) {
  std::string found;
  if (DIR* d = opendir(runtime.c_str())) {
    while (const dirent* e = readdir(d))
      if (std::string(e->d_name).rfind("sway-ipc.", 0) == 0) found = runtime + "/" + e->d_name;
    closedir(d);
  }
  return found;
}


}  // namespace

std::string pointerHelperPath() { return TOLVANE_WL_POINTER; }

std::vector<std::string> programLine(const std::vector<std::string>& args) {
  std::vector<std::string> argv{programPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return asTestUser(argv);
}

Image inverted(const Image& picture) {
  Image out = picture;
  for (int y = 0; y < out.height(); ++y)
    for (int x = 0; x < out.width(); ++x) out.setPixel(x, y, picture.pixel(x, y) ^ 0x00FFFFFFu);
  return out;
}

std::vector<std::pair<int, int>> sideBySidePlaces(const std::vector<Image>& outputs) {
  std::vector<std::pair<int, int>> places;
  int x = 0;
  for (const Image& o : outputs) {
    places.emplace_back(x, 0);
    x += o.width();
  }
  return places;
}

Image layoutOf(const std::vector<Image>& outputs, const std::vector<std::pair<int, int>>& places) {
  int w = 0, h = 0;
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    w = std::max(w, places[i].first + outputs[i].width());
    h = std::max(h, places[i].second + outputs[i].height());
  }
  Image all(w, h);
  for (std::size_t i = 0; i < outputs.size(); ++i)
    all.blit(places[i].first, places[i].second, outputs[i], 0, 0, outputs[i].width(), outputs[i].height());
  return all;
}

// sway 1.7 may present a full-screen window's buffer on an output without
// compositing it, and a screen copy of that output (all these tests see) can
// then lag behind what the window last committed (seen: every commit right in
// the protocol log, the copy one step old). So sway composites everything.
constexpr char kNoScanOut[] = "-Dnoscanout";

Sway::Sway(const std::vector<Image>& outputs, std::vector<std::pair<int, int>> places) {
  if (places.size() != outputs.size()) places = sideBySidePlaces(outputs);
  char tmpl[] = "/tmp/tolvane-sway-XXXXXX";
  if (!mkdtemp(tmpl)) return;
  dir_ = tmpl;
  chmod(dir_.c_str(), 0755);  // the compositor's user reads its config and background here
  runtime_ = dir_ + "/run";
  clientRuntime_ = dir_ + "/client";
  mkdir(runtime_.c_str(), 0700);
  mkdir(clientRuntime_.c_str(), 0700);
  const bool root = geteuid() == 0;
  if (root) {
    const std::optional<uid_t> uid = swayUser();
    if (!uid || chown(runtime_.c_str(), *uid, static_cast<gid_t>(-1)) != 0) return;
  }
  const std::string config = dir_ + "/config";
  std::ofstream conf(config);
  // A drawn pointer would show in every read of the screen: it hides when still.
  conf << "xwayland disable\ndefault_border none\nseat * hide_cursor 100\n";
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const std::string bg = dir_ + "/background-" + std::to_string(i + 1) + ".png";
    if (!savePng(outputs[i], bg)) return;
    chmod(bg.c_str(), 0644);
    conf << "output HEADLESS-" << i + 1 << " mode " << outputs[i].width() << "x" << outputs[i].height()
         << " position " << places[i].first << " " << places[i].second << " bg " << bg << " fill\n";
  }
  conf.close();
  chmod(config.c_str(), 0644);
  std::vector<std::string> argv;
  if (root) argv = {"runuser", "-u", kSwayUser, "--"};
  for (const char* a : {"env", "-i"}) argv.push_back(a);
  for (const std::string& v : {std::string(kRunMark) + "=" + TOLVANE_E2E_RUN_ID, "XDG_RUNTIME_DIR=" + runtime_, "HOME=" + dir_, std::string("PATH=/usr/bin:/bin"),
                               std::string("WLR_BACKENDS=headless"), std::string("WLR_LIBINPUT_NO_DEVICES=1"),
                               std::string("WLR_RENDERER=pixman"), "WLR_HEADLESS_OUTPUTS=" + std::to_string(outputs.size())})
    argv.push_back(v);
  for (const std::string& a : {std::string("sway"), std::string(kNoScanOut), std::string("-c"), config}) argv.push_back(a);
  sway_ = std::make_unique<Process>(argv, std::map<std::string, std::string>{});
  if (!waitUntil([&] { return !(socket_ = findSocket(runtime_)).empty() || !sway_->running(); }, kPatience) ||
      socket_.empty())
    return;
  // The background is up once grim reads it.
  const Image desktop = layoutOf(outputs, places);
  if (!waitUntil([&] { return grab() == desktop || !sway_->running(); }, kPatience) || !sway_->running()) return;
  // wtype loses the first key of a run when no keyboard exists yet: one
  // stays while the compositor lives.
  keyboard_ = std::make_unique<Process>(std::vector<std::string>{"wtype", "-s", "3600000"}, clientEnv(clientRuntime_));
  int toHelper[2], fromHelper[2];
  if (pipe2(toHelper, O_CLOEXEC) != 0 || pipe2(fromHelper, O_CLOEXEC) != 0) return;
  pointer_ = std::make_unique<Process>(
      std::vector<std::string>{pointerHelperPath(), std::to_string(desktop.width()), std::to_string(desktop.height())},
      clientEnv(clientRuntime_), toHelper[0], fromHelper[1]);
  close(toHelper[0]);
  close(fromHelper[1]);
  pointerIn_ = toHelper[1];
  pointerOut_ = fromHelper[0];
  // Ready once the pointer exists and has hidden again.
  ok_ = pointer_->running() && move(desktop.width() / 2, desktop.height() / 2) &&
        waitUntil([&] { return grab() == desktop; }, kPatience);
}

Sway::~Sway() {
  if (pointerIn_ >= 0) close(pointerIn_);
  if (pointerOut_ >= 0) close(pointerOut_);
  pointer_.reset();
  keyboard_.reset();
  copier_.reset();
  sway_.reset();
  if (!dir_.empty()) run({"rm", "-rf", dir_});
}

std::map<std::string, std::string> Sway::clientEnv(const std::string& runtimeDir) const {
  return {{"WAYLAND_DISPLAY", socket_}, {"XDG_RUNTIME_DIR", runtimeDir}, {"DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}};
}

RunResult Sway::client(const std::vector<std::string>& argv, Millis timeout, const std::string& input) const {
  return run(argv, clientEnv(clientRuntime_), timeout, input);
}

Image Sway::grab() const {
  const RunResult r = client({"grim", "-t", "ppm", "-"});
  return r.status == 0 ? fromPpm(r.out) : Image{};
}

Argb Sway::pixel(int x, int y) const {
  const RunResult r = client({"grim", "-g", std::to_string(x) + "," + std::to_string(y) + " 1x1", "-t", "ppm", "-"});
  const Image one = r.status == 0 ? fromPpm(r.out) : Image{};
  return one.isNull() ? 0 : one.pixel(0, 0);
}

std::optional<std::string> Sway::paste(const std::string& type) const {
  const RunResult r = client({"wl-paste", "--no-newline", "-t", type}, 5s);
  if (r.status != 0) return std::nullopt;
  return r.out;
}

std::optional<Image> Sway::pastedPicture() const {
  std::optional<std::string> png;
  if (!waitUntil([&] { return (png = paste()).has_value(); }, kPatience)) return std::nullopt;
  return decodePng(*png);
}

bool Sway::copyText(const std::string& text) {
  copier_ = std::make_unique<Process>(std::vector<std::string>{"wl-copy", "--foreground", text},
                                      clientEnv(clientRuntime_));
  return waitUntil([&] { return paste("text/plain") == text; }, kPatience);
}

bool Sway::pointerSays(const std::string& line) { return e2e::helperSays(pointerIn_, pointerOut_, line); }

bool Sway::move(int x, int y) { return pointerSays("move " + std::to_string(x) + " " + std::to_string(y)); }
bool Sway::press(int button) { return pointerSays("down " + std::to_string(button)); }
bool Sway::release(int button) { return pointerSays("up " + std::to_string(button)); }

bool Sway::drag(int x0, int y0, int x1, int y1, int button) {
  bool ok = move(x0, y0) && press(button);
  // Steps on the way, as a hand would make them.
  for (int i = 1; ok && i <= 4; ++i) ok = move(x0 + (x1 - x0) * i / 4, y0 + (y1 - y0) * i / 4);
  return ok && release(button);
}

bool Sway::click(int x, int y, int button) { return move(x, y) && press(button) && release(button); }

bool Sway::doubleClick(int x, int y) { return click(x, y) && press() && release(); }

PortalSession::PortalSession(const std::string& runtime, const std::map<std::string, std::string>& env,
                             const std::string& busConfig) {
  const std::string socket = runtime + "/bus", pipewire = runtime + "/pipewire-0";
  struct stat st {};
  bus_ = std::make_unique<Process>(asTestUser({"dbus-daemon", "--config-file=" + busConfig,
                                               "--address=unix:path=" + socket, "--nofork", "--nopidfile"}),
                                   env);
  if (!waitUntil([&] { return stat(socket.c_str(), &st) == 0 || !bus_->running(); }, kPatience) ||
      !bus_->running())
    return;
  address_ = "unix:path=" + socket;
  pipewire_ = std::make_unique<Process>(asTestUser({"pipewire"}), env);
  ok_ = waitUntil([&] { return stat(pipewire.c_str(), &st) == 0 || !pipewire_->running(); }, kPatience) &&
        pipewire_->running();
}

std::string PortalSession::errors() const {
  return (bus_ ? bus_->stderrText() : "") + (pipewire_ ? pipewire_->stderrText() : "");
}

namespace {

// The number after "key": in compact JSON; 0 when missing.
int jsonInt(std::string_view object, std::string_view key) {
  const std::size_t at = object.find(key);
  return at == std::string_view::npos ? 0 : std::atoi(std::string(object.substr(at + key.size(), 12)).c_str());
}

// The JSON without the white space between its tokens.
std::string compactJson(const std::string& json) {
  std::string out;
  bool inString = false;
  for (std::size_t i = 0; i < json.size(); ++i) {
    const char c = json[i];
    if (inString && c == '\\' && i + 1 < json.size()) {
      out += c;
      out += json[++i];
      continue;
    }
    if (c == '"') inString = !inString;
    if (inString || !std::isspace(static_cast<unsigned char>(c))) out += c;
  }
  return out;
}

}  // namespace

Sway::WindowState Sway::window(const std::string& title) const {
  const std::string ipc = findIpcSocket(runtime_);
  if (ipc.empty()) return {};
  RunResult tree = client({"swaymsg", "-s", ipc, "-r", "-t", "get_tree"});
  tree.out = compactJson(tree.out);
  // A window has no children: its object runs from its "id" to the next node's.
  const std::size_t name = tree.out.find("\"name\":\"" + title + "\"");
  if (tree.status != 0 || name == std::string::npos) return {};
  const std::size_t start = tree.out.rfind("{\"id\":", name);
  const std::size_t end = tree.out.find("{\"id\":", name);
  const std::string_view node = std::string_view(tree.out).substr(start, end == std::string::npos ? end : end - start);
  WindowState w;
  w.found = true;
  w.visible = node.find("\"visible\":true") != std::string_view::npos;
  w.focused = node.find("\"focused\":true") != std::string_view::npos;
  const std::size_t rect = node.find(",\"rect\":{");
  if (rect != std::string_view::npos) {
    const std::string_view r = node.substr(rect);
    const int x = jsonInt(r, "\"x\":"), y = jsonInt(r, "\"y\":");
    w.rect = {x, y, x + jsonInt(r, "\"width\":"), y + jsonInt(r, "\"height\":")};
  }
  return w;
}

bool Sway::keys(const std::vector<std::string>& args) const {
  std::vector<std::string> argv{"wtype"};
  argv.insert(argv.end(), args.begin(), args.end());
  return client(argv).status == 0;
}

}  // namespace tolvane::e2e
