// What the harness's parts share: starting a process, and a connection of
// their own to the X server.
#pragma once

#include <sys/types.h>
#include <xcb/xcb.h>

#include <map>
#include <string>
#include <vector>

#include "harness.h"

namespace tolvane::e2e {

// Starts a process in a process group of its own; -1 for a descriptor keeps the test's own.
pid_t spawn(std::vector<std::string> argv, const std::map<std::string, std::string>& env, int in, int out, int err);

// Runs `f` on a connection of its own to the display; `fallback` when none.
template <class F, class R>
R withConnection(const std::string& display, R fallback, F&& f) {
  xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
  R out = xcb_connection_has_error(c) ? fallback : f(c);
  xcb_disconnect(c);
  return out;
}

std::vector<TopLevel> topLevelsOn(xcb_connection_t* c);
xcb_atom_t atom(xcb_connection_t* c, const char* name);

}  // namespace tolvane::e2e
