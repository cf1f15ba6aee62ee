// Writing a file so that it is either wholly there or not touched at all.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "platform/output.h"

namespace tolvane::output {

// The system calls the writer makes that can fail halfway; tests swap them to
// simulate a full disk, a failing rename or a file the user may not write.
struct FileOps {
  std::function<ssize_t(int fd, const void* data, std::size_t size)> write;
  std::function<int(int fd)> fsync;
  std::function<int(const char* from, const char* to)> rename;
  // Whether a plain write could open the existing file: 0, or the errno it
  // would fail with.
  std::function<int(const char* path)> writable;

  static FileOps system();
};

// Writes `bytes` to a new file in the target's folder, flushes it to disk and
// renames it over `path`. On failure the temporary file is removed and an
// existing `path` is left as it was. A target that a plain write could not
// open is refused with that errno and left alone. An existing target's
// permission bits, owner and group are kept (the owner as far as the user may
// give files away); a new file gets 0666 less the umask. When `path` is a symbolic link
// the file it points to is replaced (or created, for a dangling link) and the
// link stays. Temporary files that killed saves left in the folder are removed
// first, those of processes that still run are not.
// A failure carries the errno and what failed, on which path, and why.
std::optional<platform::Failure> writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                                              const FileOps& ops = FileOps::system());

}  // namespace tolvane::output
