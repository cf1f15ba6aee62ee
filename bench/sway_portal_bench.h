// The program by wlr-screencopy and through the Screenshot portal, next to
// Flameshot 12 (which reads the screen through the portal on sway), on one
// private headless sway at 1920x1080.
#pragma once

namespace tolvane::bench {

// RUNS runs of each, taken in turn; prints a Markdown table. 0 when the
// compositor and the session came up.
int portalBench(int runs);

}  // namespace tolvane::bench
