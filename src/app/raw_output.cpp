#include "app/raw_output.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tolvane::app {

namespace {
// At most this much per write into a pipe or socket: once poll says there
// is room, a write this small does not block.
constexpr std::size_t kPipeStep = PIPE_BUF;
constexpr std::size_t kFileStep = std::size_t{1} << 20;

void tell(std::size_t written, std::size_t size, const char* why) {
  std::fprintf(stderr, "tolvane: -r: standard output took %zu of the PNG's %zu bytes: %s\n", written, size, why);
}
}  // namespace

std::optional<std::string> rawOutputRefusal(int fd) {
  if (fcntl(fd, F_GETFD) == -1) return "-r needs an open standard output";
  if (isatty(fd)) return "-r writes a PNG to standard output, which is a terminal: redirect it to a file or a pipe";
  return std::nullopt;
}

RawPngOutput::RawPngOutput(int fd) : fd_(fd) {}

RawPngOutput::~RawPngOutput() {
  finish();
  if (stop_[0] >= 0) {
    ::close(stop_[0]);
    ::close(stop_[1]);
  }
}

bool RawPngOutput::write(const void* bytes, std::size_t size) {
  if (started_ || ::pipe2(stop_, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  started_ = true;
  const char* p = static_cast<const char*>(bytes);
  // Signals stay with the main thread; a SIGPIPE the writer causes stays
  // pending on the writer alone, and its write fails with EPIPE instead.
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  writer_ = std::thread(&RawPngOutput::run, this, std::vector<char>(p, p + size));
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return true;
}

bool RawPngOutput::finish() {
  if (!writer_.joinable()) return whole_;
  const char stop = 1;
  [[maybe_unused]] const auto n = ::write(stop_[1], &stop, 1);
  writer_.join();
  return whole_;
}

void RawPngOutput::run(std::vector<char> bytes) {
  struct stat st {};
  const std::size_t step = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) ? kFileStep : kPipeStep;
  std::size_t at = 0;
  while (at < bytes.size()) {
    pollfd p[2] = {{fd_, POLLOUT, 0}, {stop_[0], POLLIN, 0}};
    if (::poll(p, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (p[1].revents != 0) {
      tell(at, bytes.size(), "the run was ended before the reader took it all");
      break;
    }
    const ssize_t n = ::write(fd_, bytes.data() + at, std::min(step, bytes.size() - at));
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      tell(at, bytes.size(), n < 0 ? std::strerror(errno) : "nothing more could be written");
      break;
    }
    at += static_cast<std::size_t>(n);
  }
  whole_ = at == bytes.size();
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) {
    ::dup2(null, fd_);
    ::close(null);
  } else {
    ::close(fd_);
  }
  done_ = true;
}

}  // namespace tolvane::app
