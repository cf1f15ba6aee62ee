// How failures the user can cause are reported: as values.
#pragma once

#include <string>

namespace tolvane::platform {

// A failure the user is told about: its number (an errno value, or one of
// the encoders', the writer's or the screen's own codes) and what failed, in
// words. Failures the user can cause are returned as values like this one,
// and callers tell them apart by the number, never by the words.
struct Failure {
  int error = 0;
  std::string description;
};

}  // namespace tolvane::platform
