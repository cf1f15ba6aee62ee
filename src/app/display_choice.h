// Which display the capture runs on: a Wayland compositor when
// WAYLAND_DISPLAY names one that answers, the X display otherwise.
#pragma once

#include <memory>

#include "platform/wayland/screencopy.h"

namespace tolvane::app {

// Whether to try Wayland first: WAYLAND_DISPLAY is set and Qt is not asked
// for a platform without a display (offscreen, minimal).
bool wantsWayland(const char* waylandDisplay, const char* qtPlatform);

// Whether the screen is to be read through the desktop's Screenshot portal
// even where wlr-screencopy is offered: TOLVANE_SCREEN_ROUTE=portal, a
// diagnostic (and how the tests reach the portal on a wlroots compositor).
bool portalForced(const char* screenRoute);

// The compositor's screen when the run goes to Wayland (Qt is then told to
// use its Wayland platform); nullptr for X11.
std::unique_ptr<platform::wayland::WaylandScreen> chooseWayland();

}  // namespace tolvane::app
