// Checks a shared object before dlopen maps it: a file cut short would be
// mapped all the same, and the first touch past its end kills the process
// with SIGBUS.
#pragma once

#include <optional>
#include <string>

namespace tolvane::platform::posix {

// Why the file at `path` cannot be loaded as a module of this program: not a
// regular file, too short, not ELF of this machine's class, or a header,
// segment or section table reaching past the file's end. Nothing when it
// looks whole.
std::optional<std::string> moduleDefect(const std::string& path);

}  // namespace tolvane::platform::posix
