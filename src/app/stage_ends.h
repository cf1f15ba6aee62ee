// How the capture stage ends when something outside goes wrong: a display
// that goes away, a signal, a -r reader that is slow or gone.
#pragma once

#include "app/raw_output.h"

namespace tolvane::app {

// Qt ends a run it cannot go on with (no display, most often: the X server
// or the compositor went away before Qt connected) by abort(). From now on
// such an end says so and exits with status 1 instead.
void endFatalQtMessagesCleanly();

// The exit status once the event loop has ended with `status`: a -r PNG
// still on its way is waited for, the event loop running, unless a signal
// ended the run (`signalled`, now or while waiting), which gives it up. A PNG
// not written whole makes the status 1.
int settleRawOutput(RawPngOutput& raw, const bool& signalled, int status);

}  // namespace tolvane::app
