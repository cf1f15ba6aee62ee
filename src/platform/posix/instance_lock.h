// Single instance through flock(2) on a file in a folder only the user can
// write: the runtime folder ($XDG_RUNTIME_DIR), or when that cannot be used
// (unset, missing, another user's, open to others) a folder of the user's own
// under the shared temporary folder, /tmp/tolvane-<uid>, made with mode 0700.
// A folder or lock file another user could have placed or could open is not
// trusted: such a place is passed over, and when no place can be trusted the
// lock is Unavailable with why.
#pragma once

#include <optional>
#include <string>

#include "platform/system.h"

namespace tolvane::platform::posix {

class FlockInstanceLock : public InstanceLock {
 public:
  // `runtimeDir`: the folder for the lock file; nullopt reads $XDG_RUNTIME_DIR.
  // `sharedTemp`: where the user's own fallback folder is made.
  explicit FlockInstanceLock(std::optional<std::string> runtimeDir = std::nullopt, std::string sharedTemp = "/tmp");
  ~FlockInstanceLock() override;
  FlockInstanceLock(const FlockInstanceLock&) = delete;
  FlockInstanceLock& operator=(const FlockInstanceLock&) = delete;

  // Taking a lock this object already holds answers Acquired again.
  Result acquire() override;
  void release() override;

  // The lock file tried last.
  const std::string& path() const { return path_; }

 private:
  Result acquireIn(const std::string& dir, bool followLink);
  std::optional<std::string> dir_;
  std::string sharedTemp_;
  std::string path_;
  int fd_ = -1;
};

}  // namespace tolvane::platform::posix
