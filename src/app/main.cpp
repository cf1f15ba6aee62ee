// Tolvane: one region capture per run. This is the first stage (see
// app/capture_stage.h): no Qt here, so that the screen is read and veiled
// before the large libraries are loaded.
#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "app/capture_stage.h"
#include "app/command_line.h"
#include "app/display_choice.h"
#include "app/raw_output.h"
#include "app/stage_path.h"
#include "platform/posix/instance_lock.h"
#include "platform/posix/module_file.h"
#include "platform/posix/process_start.h"
#include "platform/wayland/screencopy.h"
#include "platform/wayland/start_up_surfaces.h"
#include "platform/x11/x11_screen.h"
#include "selection/backdrop.h"

namespace cli = tolvane::app;
namespace px = tolvane::platform::x11;

namespace {

bool offscreenPlatform() {
  const char* qpa = std::getenv("QT_QPA_PLATFORM");
  if (!qpa) return false;
  const std::string p(qpa);
  return p.rfind("offscreen", 0) == 0 || p.rfind("minimal", 0) == 0;
}

// --help, --version and a wrong command line end here, before anything
// touches the display: their exit status. Nothing for a capture.
std::optional<int> answerWithoutCapture(const cli::CommandLine& commandLine) {
  switch (commandLine.action) {
    case cli::CommandLine::Action::Help:
      std::fputs(cli::usageText().c_str(), stdout);
      return 0;
    case cli::CommandLine::Action::Version:
      std::fputs(cli::versionText(TOLVANE_VERSION).c_str(), stdout);
      return 0;
    case cli::CommandLine::Action::Error:
      std::fputs(cli::errorText(commandLine.error).c_str(), stderr);
      return cli::kExitUsage;
    case cli::CommandLine::Action::Capture:
      break;
  }
  if (commandLine.options.raw) {
    if (const auto why = cli::rawOutputRefusal(STDOUT_FILENO)) {
      std::fputs(cli::errorText(*why).c_str(), stderr);
      return cli::kExitUsage;
    }
  }
  return std::nullopt;
}

// The display as the first stage holds it: the connection, the screen read
// once, and the start-up window showing it. Members go in reverse order.
struct EarlyDisplay {
  std::unique_ptr<px::XConnection> x;
  std::unique_ptr<tolvane::platform::wayland::WaylandScreen> wayland;  // set on Wayland, instead of `x`
  std::unique_ptr<tolvane::platform::Screen> screen;
  std::unique_ptr<tolvane::platform::StartUpVeil> veil;
  cli::ScreenRoute route = cli::ScreenRoute::Offscreen;
};

// Qt aborts without a display, so it is tested here with a connection of our
// own, which then also reads the screen. Sets `d.x` and the X11 route (left
// as they are on Qt's offscreen platform); the exit status when there is no display.
std::optional<int> connectDisplay(EarlyDisplay& d) {
  if (offscreenPlatform()) return std::nullopt;
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    std::fputs("tolvane: no display: DISPLAY is not set and no Wayland compositor answers at WAYLAND_DISPLAY.\n",
               stderr);
    return 1;
  }
  std::string why;
  d.x = px::XConnection::open(&why);
  if (!d.x) {
    std::fprintf(stderr, "tolvane: cannot open the X display \"%s\": %s\n", display, why.c_str());
    return 1;
  }
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  d.route = cli::ScreenRoute::X11;
  return std::nullopt;
}

// The screen is read before anything of ours is on it, and shown under the
// veil at once while the capture stage loads: false when a Wayland read
// failed (the run ends with why, before anything loads).
bool readScreenEarly(EarlyDisplay& d) {
  if (d.route == cli::ScreenRoute::Wayland) {
    if (cli::desktopRouteForced(std::getenv("TOLVANE_SCREEN_ROUTE"))) {
      d.route = cli::ScreenRoute::Desktop;
      d.wayland.reset();
      return true;
    }
    // The start-up surfaces are made while the compositor copies, and show
    // the copies the moment they are in.
    auto surfaces = std::make_unique<tolvane::platform::wayland::StartUpSurfaces>(tolvane::selection::kVeil);
    if (const auto& read = d.wayland->readNow(surfaces.get()); !read.ok()) {
      // No wlr-screencopy (GNOME, KDE): the capture stage asks the desktop.
      if (read.failure->error == tolvane::platform::kScreenNoWaylandRoute) {
        d.route = cli::ScreenRoute::Desktop;
        d.wayland.reset();
        return true;
      }
      std::fprintf(stderr, "tolvane: cannot read the screen: %s. Nothing was captured.\n",
                   read.failure->description.c_str());
      return false;
    }
    if (surfaces->shown()) d.veil = std::move(surfaces);
    return true;
  }
  if (d.route != cli::ScreenRoute::X11) return true;
  auto screen = std::make_unique<px::XcbScreen>(*d.x);
  // The X server veils its own copy of the screen before anything is read;
  // not in a Wayland session, where the X server may be XWayland, whose
  // screen the read refuses first.
  std::unique_ptr<px::VeilSplash> early;
  if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); !wayland || !*wayland) {
    early = std::make_unique<px::VeilSplash>(*d.x, tolvane::selection::kVeil);
    if (!early->shown()) early.reset();
  }
  const auto& read = screen->readNow(early ? early->frozenCopy() : 0);
  if (early) {
    early->dropFrozenCopy();
    if (read.ok()) d.veil = std::move(early);
  } else if (read.ok()) {
    d.veil = std::make_unique<px::VeilSplash>(*d.x, read.picture, tolvane::selection::kVeil);
  }
  d.screen = std::move(screen);
  return true;
}

// The capture stage, loaded from beside the program or from the installed
// library folder; nullptr (and why, on stderr) when it cannot be. Where the
// program lies comes from /proc alone: when that cannot be read nothing is
// loaded, rather than a module from some other place.
cli::CaptureEntry loadCaptureStage() {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  const std::string program = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string();
  const auto places = cli::captureStageCandidates(program, TOLVANE_STAGE_FROM_BIN, cli::kCaptureStageFile);
  std::string why = places.empty() ? "the program's own folder cannot be known (/proc/self/exe cannot be read)"
                                   : "not found";
  for (const std::string& path : places) {
    if (access(path.c_str(), F_OK) != 0) continue;
    if (const auto defect = tolvane::platform::posix::moduleDefect(path)) {
      why = path + " cannot be loaded: " + *defect;
      continue;
    }
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      why = dlerror();
      continue;
    }
    if (void* entry = dlsym(module, cli::kCaptureEntry)) return reinterpret_cast<cli::CaptureEntry>(entry);
    why = path + " has no entry point";
  }
  std::fprintf(stderr, "tolvane: cannot load the capture stage %s: %s\n", cli::kCaptureStageFile,
               cli::shortened(why).c_str());
  return nullptr;
}

// Another capture runs: exit 0 without a word. No place for the lock that
// only this user controls: exit 1 with why, as running unlocked would let
// captures pile up and a lock someone else holds would silence every run.
std::optional<int> refusedByLock(tolvane::platform::posix::FlockInstanceLock& lock) {
  const auto result = lock.acquire();
  using State = tolvane::platform::InstanceLock::State;
  if (result.state == State::HeldElsewhere) return 0;
  if (result.state == State::Acquired) return std::nullopt;
  std::fprintf(stderr, "tolvane: no safe place for the single-instance lock: %s\n",
               cli::shortened(result.failure->description, 600).c_str());
  return 1;
}

// Whether the display the first stage found still answers; when not, says so.
bool displayAnswers(const EarlyDisplay& d) {
  if (d.x && !d.x->answers()) {
    const char* name = std::getenv("DISPLAY");
    std::fprintf(stderr, "tolvane: the X display \"%s\" no longer answers: it went away. Nothing was captured.\n",
                 cli::shortened(name ? name : "").c_str());
    return false;
  }
  if (cli::onWayland(d.route) && !tolvane::platform::wayland::compositorAnswers()) {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    std::fprintf(stderr,
                 "tolvane: the Wayland compositor \"%s\" does not answer: it went away or hangs. "
                 "Nothing was captured.\n",
                 cli::shortened(name ? name : "").c_str());
    return false;
  }
  return true;
}

// The screen the first stage read, on the routes where it reads one.
tolvane::platform::Screen* screenRead(const EarlyDisplay& d) {
  switch (d.route) {
    case cli::ScreenRoute::X11:
      return d.screen.get();
    case cli::ScreenRoute::Wayland:
      return d.wayland.get();
    case cli::ScreenRoute::Desktop:
    case cli::ScreenRoute::Offscreen:
      return nullptr;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  // Before any file or connection: a closed standard stream would be taken
  // by the next one opened, and a warning written into it.
  if (!tolvane::platform::posix::fillClosedStandardStreams()) return 1;
  tolvane::platform::posix::useOneHeap();
  if (const auto why = tolvane::platform::posix::borrowedRights()) {
    std::fprintf(stderr, "tolvane: will not run: %s\n", why->c_str());
    return 1;
  }
  // The command line comes first: --help, --version and mistakes touch no display.
  const cli::CommandLine commandLine = cli::parseCommandLine(argc, argv);
  if (const std::optional<int> status = answerWithoutCapture(commandLine)) return *status;
  const cli::Options& options = commandLine.options;

  // Wayland when a compositor answers, else X.
  EarlyDisplay display;
  display.wayland = cli::chooseWayland();
  if (display.wayland)
    display.route = cli::ScreenRoute::Wayland;
  else if (const std::optional<int> status = connectDisplay(display))
    return *status;

  // A second capture ends here, before anything is read or loaded.
  tolvane::platform::posix::FlockInstanceLock lock;
  if (const std::optional<int> status = refusedByLock(lock)) return *status;
  if (options.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(options.delayMs));

  // The display may have gone during the delay, or while the module loads:
  // Qt would abort on it, so it is asked first.
  if (!displayAnswers(display) || !readScreenEarly(display)) return 1;
  const cli::CaptureEntry capture = loadCaptureStage();
  if (!capture || !displayAnswers(display)) return 1;
  const cli::CaptureHandOver handOver{argc,          argv, &options, &lock, display.route, screenRead(display),
                                      display.veil.get()};
  return capture(&handOver);
}
