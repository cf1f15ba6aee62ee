#include "platform/posix/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tolvane::platform::posix {

namespace {
constexpr const char* kLockName = "tolvane.lock";

InstanceLock::Result unavailable(int error, std::string why) {
  return {InstanceLock::State::Unavailable, Failure{error, std::move(why)}};
}
}  // namespace

FlockInstanceLock::FlockInstanceLock(std::optional<std::string> runtimeDir) : dir_(std::move(runtimeDir)) {}

FlockInstanceLock::~FlockInstanceLock() { release(); }

InstanceLock::Result FlockInstanceLock::acquire() {
  if (fd_ >= 0) return {State::Acquired, {}};

  std::string dir;
  if (dir_) {
    dir = *dir_;
  } else if (const char* env = std::getenv("XDG_RUNTIME_DIR")) {
    dir = env;
  }
  if (dir.empty())
    return unavailable(ENOENT, "XDG_RUNTIME_DIR is not set, so there is no private folder for the lock file");
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0) {
    const int err = errno;
    return unavailable(err, "the runtime folder " + dir + " cannot be used: " + std::strerror(err));
  }
  if (!S_ISDIR(st.st_mode)) return unavailable(ENOTDIR, "the runtime folder " + dir + " is not a folder");
  // Someone else's folder could hand us a lock file they control.
  if (st.st_uid != ::getuid()) return unavailable(EPERM, "the runtime folder " + dir + " belongs to another user");

  path_ = dir + (dir.back() == '/' ? "" : "/") + kLockName;
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    const int err = errno;
    return unavailable(err, "cannot open the lock file " + path_ + ": " + std::strerror(err));
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    ::close(fd);
    if (err == EWOULDBLOCK) return {State::HeldElsewhere, {}};
    return unavailable(err, "cannot lock " + path_ + ": " + std::strerror(err));
  }
  fd_ = fd;
  return {State::Acquired, {}};
}

void FlockInstanceLock::release() {
  if (fd_ < 0) return;
  // Closing the only descriptor drops the lock; the file stays for the next run.
  ::close(fd_);
  fd_ = -1;
}

}  // namespace tolvane::platform::posix
