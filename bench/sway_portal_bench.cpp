// Exec to the overlay seen, and Ctrl+C to the copy's image/png read, on one
// private headless sway at 1920x1080 for three contenders, their runs taken
// in turn: the program by wlr-screencopy, the program through the Screenshot
// portal (TOLVANE_SCREEN_ROUTE=portal), and Flameshot 12 (`flameshot gui`,
// which reads the screen through the portal on sway; cold: the helper the
// session bus starts for its copy is ended after each run). The overlay
// counts as seen when the pixel in the middle of the output, polled with grim
// every 2 ms, is the program's veil or, for Flameshot, darker than the
// desktop in every channel. All but the compositor run as the plain user, on
// a session bus of their own with PipeWire, as on a sway desktop.
#include "sway_portal_bench.h"

#include <dirent.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../tests/e2e/wayland/sway.h"
#include "wayland_stats.h"

namespace tolvane::bench {
namespace {

namespace e2e = tolvane::e2e;
using namespace std::chrono_literals;

constexpr int kW = 1920, kH = 1080;
constexpr int kL = 100, kT = 100, kR = 772, kB = 478;  // 672 x 378
// A copy not read within this counts as not made.
constexpr e2e::Millis kCopyPatience = 5s;

// What a sway desktop's session bus starts on demand: the portal with its
// wlr back end (and the gtk one, for the access check), the permission and
// document stores, and Flameshot's helper. Only these: the machine's other
// services include Plasma's notification server, which waits for a Plasma
// shell that never comes, and Flameshot's helper asks for it as it starts,
// which holds its copy for D-Bus's 25 s timeout.
constexpr const char* kServices[] = {"org.freedesktop.portal.Desktop",
                                     "org.freedesktop.impl.portal.desktop.wlr",
                                     "org.freedesktop.impl.portal.desktop.gtk",
                                     "org.freedesktop.impl.portal.PermissionStore",
                                     "org.freedesktop.portal.Documents",
                                     "org.flameshot.Flameshot"};

// Flameshot's own settings keys: no help text over the overlay, no tray
// icon, notification or update check.
constexpr char kFlameshotIni[] =
    "[General]\nshowHelp=false\nshowStartupLaunchMessage=false\nshowDesktopNotification=false\n"
    "disabledTrayIcon=true\ncheckForUpdates=false\n";

// Flameshot allows one instance per machine through a System V semaphore
// whose key is the same for every user: one left by another user's run
// (root's, under Xvfb) makes it end at once with status 1. xdg-desktop-portal-wlr
// writes every picture to /tmp/out.png, as in any other test's session. A
// private IPC namespace and /tmp keep this bench and the others apart.
void ownNamespaces() {
  if (unshare(CLONE_NEWIPC | CLONE_NEWNS) != 0) return std::perror("unshare");
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      mount("tmpfs", "/tmp", "tmpfs", 0, "mode=1777") != 0)
    std::perror("a private /tmp");
}

struct Folders {
  std::string base, runtime, home;
};

bool makeFolders(Folders& f) {
  f.base = e2e::scratchDir() + "/bench-portal";
  f.runtime = f.base + "/run";
  f.home = f.base + "/home";
  const std::string services = f.base + "/services", config = f.home + "/.config/flameshot";
  for (const std::string& d : {f.base, services, f.runtime, f.home, f.home + "/.config", config})
    mkdir(d.c_str(), 0755);
  chmod(f.runtime.c_str(), 0700);
  for (const char* s : kServices)
    if (symlink(("/usr/share/dbus-1/services/" + std::string(s) + ".service").c_str(),
                (services + "/" + s + ".service").c_str()) != 0)
      return false;
  std::ofstream(f.base + "/bus.conf") << "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                                         "<auth>EXTERNAL</auth><servicedir>"
                                      << services
                                      << "</servicedir><policy context=\"default\">"
                                         "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                                         "<allow own=\"*\"/></policy></busconfig>\n";
  std::ofstream(config + "/flameshot.ini") << kFlameshotIni;
  bool ok = true;
  for (const std::string& p : {f.runtime, f.home, f.home + "/.config", config, config + "/flameshot.ini"})
    ok = e2e::giveToTestUser(p) && ok;
  return ok;
}

std::map<std::string, std::string> sessionEnv(const e2e::Sway& sway, const Folders& f) {
  auto env = sway.clientEnv(f.runtime);
  const std::string& h = f.home;
  env.insert({{"HOME", h},
              {"XDG_CONFIG_HOME", h + "/.config"},
              {"XDG_CACHE_HOME", h + "/.cache"},
              {"XDG_DATA_HOME", h + "/.local/share"},
              {"XDG_STATE_HOME", h + "/.local/state"},
              {"LANG", "C.UTF-8"},
              {"XDG_CURRENT_DESKTOP", "sway"},
              {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + f.runtime + "/bus"}});
  return env;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The processes called `name` that carry this build's run mark.
std::vector<pid_t> markedProcesses(const std::string& name) {
  const std::string mark = std::string(e2e::kRunMark) + "=" + TOLVANE_E2E_RUN_ID;
  std::vector<pid_t> found;
  DIR* d = opendir("/proc");
  if (!d) return found;
  while (const dirent* e = readdir(d)) {
    const pid_t pid = std::atoi(e->d_name);
    if (pid <= 0) continue;
    const std::string proc = "/proc/" + std::string(e->d_name);
    if (readAll(proc + "/comm") != name + "\n") continue;
    const std::string env = readAll(proc + "/environ");
    for (std::size_t at = 0; at < env.size();) {
      const std::size_t end = std::min(env.find('\0', at), env.size());
      if (env.compare(at, end - at, mark) == 0) {
        found.push_back(pid);
        break;
      }
      at = end + 1;
    }
  }
  closedir(d);
  return found;
}

void endMarked(const std::string& name) {
  for (pid_t p : markedProcesses(name)) kill(p, SIGTERM);
  e2e::waitUntil([&] { return markedProcesses(name).empty(); }, e2e::kPatience);
}

struct Contender {
  std::string name;
  std::vector<std::string> argv;
  std::map<std::string, std::string> env;
  std::string window;  // its title in sway's tree
  bool flameshot = false;
  std::vector<double> overlay{}, copy{};
  int exact = 0;
  std::string size{};  // of the last copy read
};

// The program's veil is known to the pixel; Flameshot's darkens the desktop.
bool overlaid(const Contender& c, Argb seen, Argb desktop, Argb veil) {
  if (!c.flameshot) return seen == veil;
  if (seen == 0 || seen == desktop) return false;
  for (int shift : {0, 8, 16})
    if (((seen >> shift) & 0xFF) > ((desktop >> shift) & 0xFF)) return false;
  return true;
}

// The copy against the dragged region; Flameshot's holds both end points of
// the drag, one pixel more each way.
void record(Contender& c, const Image& got, const Image& picture) {
  if (got == picture.copy({kL, kT, kR, kB}) || (c.flameshot && got == picture.copy({kL, kT, kR + 1, kB + 1})))
    ++c.exact;
  c.size = std::to_string(got.width()) + "x" + std::to_string(got.height());
}

// Ends a run and waits for the bare desktop. The program ends once another
// client takes the clipboard; Flameshot's overlay ends with Ctrl+C, and the
// helper the bus started for the copy is ended, so that every run is cold.
void finish(const Contender& c, e2e::Sway& sway, e2e::Process& p, const Image& picture) {
  if (!c.flameshot) sway.copyText("next");
  p.wait(kCopyPatience);
  if (p.running() && sway.keys({"-k", "Escape"})) p.wait(kCopyPatience);
  if (c.flameshot) endMarked("flameshot");
  e2e::waitUntil([&] { return sway.pixel(kW / 2, kH / 2) == picture.pixel(kW / 2, kH / 2); }, e2e::kPatience);
}

void runOnce(Contender& c, e2e::Sway& sway, const Image& picture, const Image& veil) {
  const Argb desktop = picture.pixel(kW / 2, kH / 2), veiled = veil.pixel(kW / 2, kH / 2);
  const auto t0 = Clock::now();
  e2e::Process p(c.argv, c.env);
  if (!e2e::waitUntil([&] { return overlaid(c, sway.pixel(kW / 2, kH / 2), desktop, veiled); }, e2e::kPatience, 2ms)) {
    std::fprintf(stderr, "%s: no overlay\n%s\n", c.name.c_str(), p.stderrText().c_str());
    return finish(c, sway, p, picture);
  }
  c.overlay.push_back(msSince(t0));
  // Keys reach the overlay once its window has the keyboard.
  e2e::waitUntil([&] { return sway.window(c.window).focused; }, e2e::kPatience, 2ms);
  if (!sway.drag(kL, kT, kR, kB) || !sway.keys({"-M", "ctrl", "-k", "c", "-m", "ctrl"}))
    std::fprintf(stderr, "%s: the drag or the key failed\n", c.name.c_str());
  std::optional<std::string> png;
  const auto t1 = Clock::now();
  if (e2e::waitUntil([&] { return (png = sway.paste()).has_value(); }, kCopyPatience, 2ms)) {
    c.copy.push_back(msSince(t1));
    record(c, e2e::decodePng(*png), picture);
  } else {
    std::fprintf(stderr, "%s: no image/png served within 5 s; its overlay %s\n", c.name.c_str(),
                 p.running() ? "is still up" : "has closed");
  }
  finish(c, sway, p, picture);
}

std::string ratio(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.empty() || b.empty()) return "";
  char text[32];
  std::snprintf(text, sizeof text, "%.2fx", median(a) / median(b));
  return text;
}

void print(const std::vector<Contender>& all, int runs) {
  const Contender& ref = all.back();
  std::printf("| sway 1920x1080, %d runs each in turn | exec to overlay seen | / %s | Ctrl+C to image/png read, "
              "672x378 | copies read | pixels exact |\n|---|---|---|---|---|---|\n",
              runs, ref.name.c_str());
  for (const Contender& c : all)
    std::printf("| %s | %s | %s | %s | %zu/%d%s | %d/%zu |\n", c.name.c_str(), range(c.overlay).c_str(),
                ratio(c.overlay, ref.overlay).c_str(), range(c.copy).c_str(), c.copy.size(), runs,
                c.size.empty() ? "" : (", " + c.size).c_str(), c.exact, c.copy.size());
}

}  // namespace

int portalBench(int runs) {
  ownNamespaces();
  const Image picture = e2e::knownPicture(kW, kH), veil = e2e::veiled(picture);
  e2e::Sway sway({picture});
  Folders f;
  if (!sway.ok()) return std::fprintf(stderr, "headless sway did not start\n"), 1;
  if (!makeFolders(f)) return std::fprintf(stderr, "the session's folders could not be made\n"), 1;
  const auto env = sessionEnv(sway, f);
  auto portal = env, flameshot = env;
  portal["TOLVANE_SCREEN_ROUTE"] = "portal";
  flameshot["QT_QPA_PLATFORM"] = "wayland";  // Qt 5 takes X11 otherwise; the bus starts Flameshot's helper
  const e2e::PortalSession session(f.runtime, flameshot, f.base + "/bus.conf");
  if (!session.ok()) return std::fprintf(stderr, "no session bus or PipeWire:\n%s\n", session.errors().c_str()), 1;
  std::vector<Contender> all{{"Tolvane, wlr-screencopy", e2e::programLine(), env, "Tolvane"},
                             {"Tolvane, Screenshot portal", e2e::programLine(), portal, "Tolvane"},
                             {"Flameshot 12.1, Screenshot portal", e2e::asTestUser({"flameshot", "gui"}), flameshot,
                              "flameshot", true}};
  // One run each first, not counted: the portal and its back ends start on
  // the first request.
  for (Contender c : all) runOnce(c, sway, picture, veil);
  for (int i = 0; i < runs; ++i)
    for (Contender& c : all) runOnce(c, sway, picture, veil);
  print(all, runs);
  endMarked("flameshot");
  return 0;
}

}  // namespace tolvane::bench
