#include "platform/posix/process_start.h"

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cerrno>

namespace tolvane::platform::posix {

bool fillClosedStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free descriptor: this one, as the lower ones are open.
    const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null < 0) return false;
    if (null != fd) {
      ::dup2(null, fd);
      ::close(null);
    }
  }
  return true;
}

std::optional<std::string> borrowedRights() {
  if (::getuid() != ::geteuid()) return "it runs set-user-ID; run it as yourself";
  if (::getgid() != ::getegid()) return "it runs set-group-ID; run it as yourself";
  return std::nullopt;
}

void useOneHeap() { mallopt(M_ARENA_MAX, 1); }

void returnFreedMemory() { malloc_trim(0); }

}  // namespace tolvane::platform::posix
