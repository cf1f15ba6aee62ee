// Qt's Wayland platform, for windows painted by the CPU.
#pragma once

namespace tolvane::platform::qt {

// Keeps Qt's Wayland platform from loading EGL and the GPU driver behind it
// (tens of milliseconds at start-up, before the first frame): every window of
// ours is painted by the CPU into shared memory. Qt offers no switch for that
// but naming a buffer integration that does not exist, and then complains
// about that name; the complaint is kept off stderr, everything else passes.
// A QT_WAYLAND_CLIENT_BUFFER_INTEGRATION the user set stays as it is.
// Call before the QApplication is made.
void paintWithoutGpu();

}  // namespace tolvane::platform::qt
