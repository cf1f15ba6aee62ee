// --region: the capture starts with a region already selected.
#pragma once

#include "platform/events.h"
#include "platform/image.h"

namespace tolvane::app {

// Selects `region` (clamped to the screen) as the user's left drag from its
// top-left to its bottom-right corner would, toolbar included. Returns the
// region selected; empty when none of it lies on the screen, and then
// nothing is sent.
//
// This is the one place a start region is applied; once the session can
// select a region directly, the drag below becomes that single call.
IRect applyStartRegion(platform::EventSink& sink, const IRect& region, int screenWidth, int screenHeight);

}  // namespace tolvane::app
