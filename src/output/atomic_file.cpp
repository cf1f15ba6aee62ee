#include "output/atomic_file.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "texts/texts.h"

namespace tolvane::output {

namespace files = platform::files;

namespace {

platform::Failure failure(int err, const std::string& path, const std::string& target, std::string_view step) {
  std::string what = texts::cannotWrite(path);
  if (target != path) what += texts::linkPointsTo(target);
  return {err, what + ": " + std::string(step) + ": " + std::strerror(err)};
}

bool allOf(std::string_view s, const char* set) {
  return !s.empty() && s.find_first_not_of(set) == std::string_view::npos;
}

// The process that made a temporary file, from the name createTemp gives it:
// ".tolvane-<pid>-<hex>-<n>.tmp". 0 for any other name.
long tempFileOwner(std::string_view name) {
  constexpr std::string_view head = ".tolvane-", tail = ".tmp";
  if (name.size() <= head.size() + tail.size() || !name.starts_with(head) || !name.ends_with(tail)) return 0;
  name = name.substr(head.size(), name.size() - head.size() - tail.size());
  const auto dash1 = name.find('-');
  const auto dash2 = dash1 == std::string_view::npos ? dash1 : name.find('-', dash1 + 1);
  if (dash2 == std::string_view::npos) return 0;
  const std::string_view pid = name.substr(0, dash1), stamp = name.substr(dash1 + 1, dash2 - dash1 - 1),
                         count = name.substr(dash2 + 1);
  if (!allOf(pid, "0123456789") || pid[0] == '0' || pid.size() > 9) return 0;
  if (!allOf(stamp, "0123456789abcdef") || !allOf(count, "0123456789")) return 0;
  return std::stol(std::string(pid));
}

// Removes the temporary files that saves into `folder` left behind when they
// were killed: those whose process is gone. A file of a running process, or
// of one we cannot ask about, stays.
void removeStaleTemps(const std::string& folder) {
  files::removeFilesIf(folder, [](std::string_view name) {
    const long owner = tempFileOwner(name);
    return owner > 0 && files::processEnded(owner);
  });
}

// Creates a fresh hidden file next to the target. Returns the descriptor, or -1 with errno set.
int createTemp(const std::string& folder, std::string& name) {
  static unsigned counter = 0;
  const auto stamp = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char tail[80];
    std::snprintf(tail, sizeof tail, "/.tolvane-%ld-%llx-%u.tmp", files::processId(), stamp, ++counter);
    name = folder + tail;
    const int fd = files::createNew(name);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Writes all of `bytes`, on after short and interrupted writes: 0, or the
// errno it failed with (ENOSPC for a write that makes no progress).
int writeAll(int fd, std::span<const std::uint8_t> bytes, const FileOps& ops) {
  const std::uint8_t* at = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ops.write(fd, at, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ENOSPC;
    at += n;
    left -= static_cast<std::size_t>(n);
  }
  return 0;
}

// What a save must not replace, in words: only a regular file or a new name
// may be written, never what the name stands for otherwise. Empty when it may.
std::string_view notAFile(files::Kind kind) {
  switch (kind) {
    case files::Kind::Missing:
    case files::Kind::Regular:
      return {};
    case files::Kind::Folder:
      return texts::kAFolder;
    case files::Kind::Pipe:
      return texts::kAPipe;
    case files::Kind::Device:
      return texts::kADevice;
    case files::Kind::Socket:
      return texts::kASocket;
    case files::Kind::Other:
      break;
  }
  return texts::kASpecialFile;
}

}  // namespace

FileOps FileOps::system() {
  FileOps ops;
  ops.write = [](int fd, const void* data, std::size_t size) -> ssize_t { return files::write(fd, data, size); };
  ops.fsync = files::flush;
  ops.rename = files::replace;
  ops.writable = files::openable;
  return ops;
}

std::optional<platform::Failure> writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                                                     const FileOps& ops) {
  if (path.empty()) return platform::Failure{EINVAL, std::string(texts::kNoFileName)};
  // Replace the file a link points to, never the link itself.
  std::string target = path;
  if (const int err = files::followLinks(target)) return failure(err, path, target, texts::kLinkUnresolved);
  const std::string folder = files::folderOf(target);

  // The rename needs only the folder's permission; refuse what a plain write
  // to the file itself would not be allowed to do.
  const files::Facts existing = files::factsOf(target);
  if (const std::string_view what = notAFile(existing.kind); !what.empty())
    return failure(existing.kind == files::Kind::Folder ? EISDIR : EINVAL, path, target,
                   texts::notARegularFile(what));
  const bool replacing = existing.kind == files::Kind::Regular;
  if (replacing) {
    if (const int err = ops.writable(target.c_str())) return failure(err, path, target, texts::kFileNotWritable);
  }

  removeStaleTemps(folder);
  std::string temp;
  int fd = createTemp(folder, temp);
  if (fd < 0) return failure(errno, path, target, texts::cannotCreateIn(folder));

  // Removes the temporary file on every failure below.
  auto abandon = [&](int err, std::string_view step) {
    if (fd >= 0) files::close(fd);
    files::remove(temp);
    return failure(err, path, target, step);
  };

  if (replacing) files::keepOwnerAndMode(fd, existing);

  if (const int err = writeAll(fd, bytes, ops)) return abandon(err, texts::kWriteFailed);
  if (ops.fsync(fd) != 0) return abandon(errno, texts::kFlushFailed);
  const int closed = files::close(fd);
  fd = -1;
  if (closed != 0) return abandon(errno, texts::kFlushFailed);
  if (ops.rename(temp.c_str(), target.c_str()) != 0) return abandon(errno, texts::kReplaceFailed);

  // Make the rename itself durable; the file is in place even if this fails.
  files::syncFolder(folder);
  return std::nullopt;
}

}  // namespace tolvane::output
