// Which display the capture runs on: a Wayland compositor when
// WAYLAND_DISPLAY names one that answers, the X display otherwise.
#pragma once

#include <memory>
#include <vector>

#include "platform/wayland/screencopy.h"

namespace tolvane::app {

// Whether to try Wayland first: WAYLAND_DISPLAY is set and Qt is not asked
// for a platform without a display (offscreen, minimal).
bool wantsWayland(const char* waylandDisplay, const char* qtPlatform);

// Whether the screen is to be read the way GNOME's and KDE's is, even where
// wlr-screencopy is offered: TOLVANE_SCREEN_ROUTE=portal or =kwin, a
// diagnostic (and how the tests reach the portal on a wlroots compositor).
bool desktopRouteForced(const char* screenRoute);

// The ways to the screen of a Wayland desktop without wlr-screencopy, in the
// order they are tried, each after the one before it failed: KWin's own
// screenshot interface when KWin offers it on the session bus (it leaves the
// pointer out and writes no file), then the Screenshot portal.
// TOLVANE_SCREEN_ROUTE=portal or =kwin takes that one alone.
enum class DesktopRoute { KWin, Portal };
std::vector<DesktopRoute> desktopRoutes(const char* screenRoute, bool kwinOnBus);

// The compositor's screen when the run goes to Wayland (Qt is then told to
// use its Wayland platform); nullptr for X11.
std::unique_ptr<platform::wayland::WaylandScreen> chooseWayland();

}  // namespace tolvane::app
