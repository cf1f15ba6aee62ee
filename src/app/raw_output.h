// -r: the copied picture's PNG on standard output.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace tolvane::app {

// Writes one PNG to a descriptor, whole, and then lets go of the descriptor
// (it is pointed at /dev/null), so that a reader such as `tolvane -r | ...`
// sees the end of the picture at once, although the process stays on to
// serve the clipboard. Later pictures are not written: the output holds one
// PNG only.
// Why the descriptor cannot take the PNG: it is closed (a descriptor opened
// later would take its place and get the picture), or it is a terminal,
// which binary data would garble. Nothing when it can.
std::optional<std::string> rawOutputRefusal(int fd);

class RawPngOutput {
 public:
  explicit RawPngOutput(int fd) : fd_(fd) {}
  // False when nothing or only part of it could be written (say, the reader
  // went away), or when a picture was already written.
  bool write(const void* bytes, std::size_t size);

 private:
  int fd_;
  bool written_ = false;
};

}  // namespace tolvane::app
