// Qt's own connection to the X server.
#pragma once

struct xcb_connection_t;

namespace tolvane::platform::qt {

// The X connection Qt uses; nullptr off X (the offscreen platform) or before
// the application exists.
xcb_connection_t* x11Connection();

}  // namespace tolvane::platform::qt
