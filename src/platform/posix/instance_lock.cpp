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

InstanceLock::Result unavailableErrno(const std::string& what) {
  const int err = errno;
  return unavailable(err, what + ": " + std::strerror(err));
}

// Why a folder is no safe place for the lock: another user could have put a
// lock file there or could replace ours. A sticky folder of ours is safe
// enough, as the lock file's own owner is checked too.
std::optional<std::string> folderDefect(const struct stat& st, const std::string& dir) {
  if (!S_ISDIR(st.st_mode)) return dir + " is not a folder";
  if (st.st_uid != ::geteuid()) return dir + " belongs to another user";
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0)
    return dir + " may be written by other users";
  return std::nullopt;
}
}  // namespace

FlockInstanceLock::FlockInstanceLock(std::optional<std::string> runtimeDir, std::string sharedTemp)
    : dir_(std::move(runtimeDir)), sharedTemp_(std::move(sharedTemp)) {}

FlockInstanceLock::~FlockInstanceLock() { release(); }

InstanceLock::Result FlockInstanceLock::acquire() {
  if (fd_ >= 0) return {State::Acquired, {}};
  std::string runtime;
  if (dir_) {
    runtime = *dir_;
  } else if (const char* env = std::getenv("XDG_RUNTIME_DIR")) {
    runtime = env;
  }
  std::string why = "XDG_RUNTIME_DIR is not set";
  if (!runtime.empty()) {
    Result r = acquireIn(runtime, true);
    if (r.state != State::Unavailable) return r;
    why = "the runtime folder cannot be used: " + r.failure->description;
  }
  // The user's own folder in the shared temporary folder, as no other user may own it.
  const std::string own = sharedTemp_ + "/tolvane-" + std::to_string(::geteuid());
  if (::mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) {
    Result r = unavailableErrno("cannot make the folder " + own);
    r.failure->description = why + ", and " + r.failure->description;
    return r;
  }
  Result r = acquireIn(own, false);
  if (r.state == State::Unavailable) r.failure->description = why + ", and " + r.failure->description;
  return r;
}

InstanceLock::Result FlockInstanceLock::acquireIn(const std::string& dir, bool followLink) {
  path_ = dir + (dir.back() == '/' ? "" : "/") + kLockName;
  const int folder = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
  if (folder < 0) return unavailableErrno(dir + " cannot be opened");
  struct stat st {};
  if (::fstat(folder, &st) != 0 || folderDefect(st, dir)) {
    const std::string why = folderDefect(st, dir).value_or(dir + " cannot be read");
    ::close(folder);
    return unavailable(EPERM, why);
  }
  const int fd = ::openat(folder, kLockName, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  ::close(folder);
  if (fd < 0) return unavailableErrno("cannot open the lock file " + path_);
  // Only a plain file of our own is a lock: not a pipe or device, nor a file
  // someone else made and keeps open.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    ::close(fd);
    return unavailable(EPERM, "the lock file " + path_ + " is not a plain file of this user's");
  }
  if ((st.st_mode & 077) != 0) (void)::fchmod(fd, 0600);  // nobody else may open it to hold it
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
