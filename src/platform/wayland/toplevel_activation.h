// Gives the keyboard to a window of ours on a wlroots compositor. A window
// opened over a full-screen one gets no keyboard there by itself: sway 1.7
// leaves the focus on the full-screen window even when the new one belongs
// to it, and answers xdg-activation by only marking it urgent. The
// compositor's list of windows (wlr-foreign-toplevel-management) lets a
// client activate a window, which gives it the focus.
#pragma once

#include <string>

namespace tolvane::platform::wayland {

enum class Activation {
  Requested,    // asked for, or the window has the focus already
  NotShownYet,  // no such window in the list (it is not mapped yet)
  Unsupported,  // no compositor, or no such list: asking again is no use
};

// Activates the newest window with this app id and title, on a connection
// of its own to the compositor at WAYLAND_DISPLAY.
Activation activateToplevel(const std::string& appId, const std::string& title);

}  // namespace tolvane::platform::wayland
