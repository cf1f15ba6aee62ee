// A Wayland socket in front of a compositor's that hides some of its
// globals: its clients see a compositor without them, all else being the
// compositor's own (every message and file descriptor is passed on as is).
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tolvane::e2e {

class RegistryFilter {
 public:
  // Listens in a folder of its own under /tmp (a socket's path is short)
  // and connects each client to the compositor's socket `compositor`,
  // leaving out the globals whose interface is in `hidden`.
  RegistryFilter(std::string compositor, std::vector<std::string> hidden);
  ~RegistryFilter();
  RegistryFilter(const RegistryFilter&) = delete;
  RegistryFilter& operator=(const RegistryFilter&) = delete;

  bool ok() const { return listener_ >= 0; }
  // For WAYLAND_DISPLAY.
  const std::string& socket() const { return path_; }

 private:
  void run();

  std::string compositor_, dir_, path_;
  std::vector<std::string> hidden_;
  int listener_ = -1;
  int stop_[2] = {-1, -1};
  std::thread thread_;
};

// The interfaces of the globals a client of the compositor at `socket`
// (a path) is told of; empty when it does not answer.
std::vector<std::string> globalsAt(const std::string& socket);

}  // namespace tolvane::e2e
