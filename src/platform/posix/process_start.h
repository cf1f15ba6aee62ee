// What a process of ours checks before it opens anything.
#pragma once

#include <optional>
#include <string>

namespace tolvane::platform::posix {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
// the next file or connection opened does not become a standard stream (a
// warning would then be written into it). False when one could not be opened.
bool fillClosedStandardStreams();

// Why the process must not go on: it runs with borrowed rights (set-user-ID
// or set-group-ID), which would read the screen and write files as someone
// else. Nothing when the real and effective ids agree.
std::optional<std::string> borrowedRights();

// One malloc arena for every thread. A thread that allocates (the PNG
// encoder's workers, a dialog's file lister) otherwise gets an arena of its
// own, which keeps what it freed resident for the rest of the run: 2 MiB
// after a copy at 3840x2160. Call before any thread starts.
void useOneHeap();

// Hands the heap's free pages back to the system, after freeing much that
// was allocated in small pieces (a long stay with little left to do).
void returnFreedMemory();

}  // namespace tolvane::platform::posix
