// How the program starts: two stages, so that the screen is read before the
// large libraries are loaded.
//
// The `tolvane` executable is the first stage. It links only libc and xcb:
// it reads the command line, takes the instance lock, connects to the display,
// reads the screen and shows it under the veil in a plain X window that holds
// the keyboard and the pointer. Only then does it load the capture stage
// (tolvane-capture.so: Qt, the codecs and the capture window) with dlopen, and
// call its one entry point, tolvane_capture(), with the hand-over below. The
// frozen picture is not copied on the way: the screen keeps its read and moves
// it to the session on the first grab(). The first stage's objects outlive the
// call; the capture stage closes the start-up window once its own is painted.
#pragma once

#include "app/command_line.h"
#include "platform/early_input.h"
#include "platform/system.h"

namespace tolvane::app {

// How the capture reaches the screen: chosen once, by the first stage.
enum class ScreenRoute {
  X11,      // the first stage read the X screen over xcb
  Wayland,  // the first stage read every output through wlr-screencopy; a capture window per output
  // A Wayland desktop without wlr-screencopy (GNOME, KDE), or one told to act
  // as one (TOLVANE_SCREEN_ROUTE): the capture stage asks KWin or the
  // Screenshot portal for the screen.
  Desktop,
  // No display connection of the first stage's own (Qt's offscreen
  // platform): the capture stage reads the screen through Qt.
  Offscreen,
};

// Whether the route runs on a Wayland compositor.
constexpr bool onWayland(ScreenRoute route) { return route == ScreenRoute::Wayland || route == ScreenRoute::Desktop; }

struct CaptureHandOver {
  int argc = 0;
  char** argv = nullptr;
  const Options* options = nullptr;
  platform::InstanceLock* lock = nullptr;  // acquire() already answered
  ScreenRoute route = ScreenRoute::Offscreen;
  // The screen, already read, on the X11 and Wayland routes; nullptr on the
  // others, where the capture stage reads it.
  platform::Screen* screen = nullptr;
  platform::StartUpVeil* veil = nullptr;  // nullptr when none is shown
};

// The file name of the capture stage, and its entry point's name.
inline constexpr char kCaptureStageFile[] = "tolvane-capture.so";
inline constexpr char kCaptureEntry[] = "tolvane_capture";
using CaptureEntry = int (*)(const CaptureHandOver*);

}  // namespace tolvane::app

// Runs the capture to its end: the process's exit status.
extern "C" int tolvane_capture(const tolvane::app::CaptureHandOver* handOver);
