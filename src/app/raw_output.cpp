#include "app/raw_output.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace tolvane::app {

std::optional<std::string> rawOutputRefusal(int fd) {
  if (fcntl(fd, F_GETFD) == -1) return "-r needs an open standard output";
  if (isatty(fd)) return "-r writes a PNG to standard output, which is a terminal: redirect it to a file or a pipe";
  return std::nullopt;
}

bool RawPngOutput::write(const void* bytes, std::size_t size) {
  if (written_) return false;
  written_ = true;
  // A reader that stops early must not end the process by SIGPIPE: the
  // clipboard still has the picture.
  struct sigaction ignore = {}, old = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &old);
  const char* p = static_cast<const char*>(bytes);
  std::size_t left = size;
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  sigaction(SIGPIPE, &old, nullptr);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) {
    dup2(null, fd_);
    close(null);
  } else {
    close(fd_);
  }
  return left == 0;
}

}  // namespace tolvane::app
