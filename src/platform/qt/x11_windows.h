// Plain X requests about our windows: their stacking among the root's
// children, and the compositing manager.
#pragma once

#include <cstdint>

struct xcb_connection_t;
class QWidget;

namespace tolvane::platform::qt {

// Puts `self`, a child of the root, back above the topmost shown ordinary
// window of another client that lies above it (a panel that raises itself).
// Pop-ups, tooltips and input-method windows (override-redirect, like ours)
// stay above it, and so do our own windows. True when it restacked `self`.
bool stayAboveOthers(xcb_connection_t* c, std::uint32_t self);

// Puts `self` just under the frame of our shown dialog `dialog`, when it is
// above it: a window manager stacks its frames below override-redirect
// windows. Some (mutter) put the frame back under every override-redirect
// window: from the second `attempt` on, `self` goes under all windows.
// True when it restacked `self`.
bool stayUnderDialog(xcb_connection_t* c, std::uint32_t self, std::uint32_t dialog, int attempt);

// Whether a compositing manager draws the desktop. Some (mutter) draw
// every override-redirect window above every window they manage, so a
// dialog they frame would stay under the capture window whatever its stacking.
bool compositedDesktop();

// A compositor may show a full-screen override-redirect window directly,
// past its compositing (mutter does), which hides whatever it composites
// above it, our dialogs included: it is asked not to, for `window`.
void keepComposited(const QWidget& window);

}  // namespace tolvane::platform::qt
