// --region: the capture starts with a region already selected.
#pragma once

#include "picture/image.h"
#include "session/capture_session.h"

namespace tolvane::app {

// Selects `region` (clamped to the screen) as the user's left drag from its
// top-left to its bottom-right corner would, toolbar included. Returns the
// region selected; empty when none of it lies on the screen, and then
// nothing changes.
IRect applyStartRegion(session::CaptureSession& session, const IRect& region, int screenWidth, int screenHeight);

}  // namespace tolvane::app
