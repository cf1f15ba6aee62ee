// -r: the copied picture's PNG on standard output.
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tolvane::app {

// Why the descriptor cannot take the PNG: it is closed (a descriptor opened
// later would take its place and get the picture), or it is a terminal,
// which binary data would garble. Nothing when it can.
std::optional<std::string> rawOutputRefusal(int fd);

// Writes one PNG to a descriptor, whole, on a thread of its own: a reader
// that is slow or never reads holds up neither the window nor the
// clipboard. Then it lets go of the descriptor (it is pointed at /dev/null),
// so that a reader such as `tolvane -r | ...` sees the end of the picture at
// once, although the process stays on to serve the clipboard. Later pictures
// are not written: the output holds one PNG only. A write that fails or stops
// short (no space, the reader gone) is told on stderr at once.
class RawPngOutput {
 public:
  explicit RawPngOutput(int fd);
  ~RawPngOutput();  // gives up a write still going
  RawPngOutput(const RawPngOutput&) = delete;
  RawPngOutput& operator=(const RawPngOutput&) = delete;

  // Starts writing a copy of the bytes and returns at once. False when a
  // picture was already given, or the writer could not be started.
  bool write(const void* bytes, std::size_t size);
  // Whether a write is still going.
  bool busy() const { return started_ && !done_; }
  // Stops a write still going (it is told on stderr) and waits for the
  // writer. True when no picture was given or it was written whole.
  bool finish();

 private:
  void run(std::vector<char> bytes);
  int fd_;
  int stop_[2] = {-1, -1};  // written to give up
  bool started_ = false;
  std::atomic<bool> done_{false};
  std::atomic<bool> whole_{true};
  std::thread writer_;
};

}  // namespace tolvane::app
