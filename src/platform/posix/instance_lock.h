// Single instance through flock(2) on a file in the user's runtime folder.
#pragma once

#include <optional>
#include <string>

#include "platform/system.h"

namespace tolvane::platform::posix {

class FlockInstanceLock : public InstanceLock {
 public:
  // `runtimeDir`: the folder for the lock file; nullopt reads $XDG_RUNTIME_DIR.
  explicit FlockInstanceLock(std::optional<std::string> runtimeDir = std::nullopt);
  ~FlockInstanceLock() override;
  FlockInstanceLock(const FlockInstanceLock&) = delete;
  FlockInstanceLock& operator=(const FlockInstanceLock&) = delete;

  // Taking a lock this object already holds answers Acquired again.
  Result acquire() override;
  void release() override;

  const std::string& path() const { return path_; }

 private:
  std::optional<std::string> dir_;
  std::string path_;
  int fd_ = -1;
};

}  // namespace tolvane::platform::posix
