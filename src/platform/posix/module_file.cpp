#include "platform/posix/module_file.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace tolvane::platform::posix {

namespace {

using Header = ElfW(Ehdr);
using Segment = ElfW(Phdr);
using Bytes = unsigned long long;

// Whether `count` entries of `size` bytes from `offset` lie inside `fileSize`.
bool inside(Bytes offset, Bytes count, Bytes size, Bytes fileSize) {
  if (count == 0) return true;
  if (size == 0 || offset > fileSize || count > (fileSize - offset) / size) return false;
  return true;
}

bool readAt(int fd, void* out, std::size_t size, Bytes offset) {
  return ::pread(fd, out, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

std::optional<std::string> headerDefect(const Header& h, Bytes size) {
  if (std::memcmp(h.e_ident, ELFMAG, SELFMAG) != 0) return std::string("it is not an ELF file");
  if (h.e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) || h.e_type != ET_DYN)
    return std::string("it is not a shared object for this machine");
  if (h.e_phentsize != sizeof(Segment) || !inside(h.e_phoff, h.e_phnum, h.e_phentsize, size))
    return std::string("its program headers are cut off");
  if (!inside(h.e_shoff, h.e_shnum, h.e_shentsize, size)) return std::string("its section headers are cut off");
  return std::nullopt;
}

// Every loaded segment's bytes must be in the file.
std::optional<std::string> segmentDefect(int fd, const Header& h, Bytes size) {
  std::vector<Segment> segments(h.e_phnum);
  if (!readAt(fd, segments.data(), segments.size() * sizeof(Segment), h.e_phoff))
    return std::string("its program headers cannot be read");
  for (const Segment& s : segments)
    if (s.p_type == PT_LOAD && !inside(s.p_offset, 1, s.p_filesz, size) && s.p_filesz != 0)
      return std::string("it is cut off: a segment ends past the file's end");
  return std::nullopt;
}

}  // namespace

std::optional<std::string> moduleDefect(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::string("it cannot be opened: ") + std::strerror(errno);
  struct stat st {};
  std::optional<std::string> why;
  Header h{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    why = "it is not a regular file";
  } else if (static_cast<Bytes>(st.st_size) < sizeof h || !readAt(fd, &h, sizeof h, 0)) {
    why = "it is too short to be a module";
  } else if (!(why = headerDefect(h, static_cast<Bytes>(st.st_size)))) {
    why = segmentDefect(fd, h, static_cast<Bytes>(st.st_size));
  }
  ::close(fd);
  return why;
}

}  // namespace tolvane::platform::posix
