#include "output/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace tolvane::output {

namespace {

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Where a write to `path` lands: symbolic links followed to the file they
// name, which need not exist yet (a dangling link is written through, as
// open(O_CREAT) would). A relative link target is taken from the link's folder.
// Fails with ELOOP on a loop or a chain too long, like open().
std::optional<int> resolveLinks(std::string& path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return std::nullopt;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 0) + 256, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n < 0) return errno;
    if (static_cast<std::size_t>(n) == target.size()) return ENAMETOOLONG;
    target.resize(static_cast<std::size_t>(n));
    if (target.empty()) return ENOENT;
    path = target[0] == '/' ? target : folderOf(path) + "/" + target;
  }
  return ELOOP;
}

platform::Failure failure(int err, const std::string& path, const std::string& target, const std::string& step) {
  std::string what = "无法写入 \"" + path + "\"";
  if (target != path) what += " (链接指向 \"" + target + "\")";
  return {err, what + ": " + step + ": " + std::strerror(err)};
}

bool allOf(std::string_view s, const char* set) {
  return !s.empty() && s.find_first_not_of(set) == std::string_view::npos;
}

// The process that made a temporary file, from the name createTemp gives it:
// ".tolvane-<pid>-<hex>-<n>.tmp". 0 for any other name.
pid_t tempFileOwner(std::string_view name) {
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
  return static_cast<pid_t>(std::stol(std::string(pid)));
}

// Removes the temporary files that saves into `folder` left behind when they
// were killed: those whose process is gone. A file of a running process, or
// of one we may not signal, stays.
void removeStaleTemps(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t owner = tempFileOwner(entry->d_name);
    if (owner <= 0 || ::kill(owner, 0) == 0 || errno != ESRCH) continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    (void)::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

// Creates a fresh hidden file next to the target. Returns the descriptor, or -1 with errno set.
int createTemp(const std::string& folder, std::string& name) {
  static unsigned counter = 0;
  const auto stamp = static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char tail[80];
    std::snprintf(tail, sizeof tail, "/.tolvane-%ld-%lx-%u.tmp", static_cast<long>(::getpid()), stamp, ++counter);
    name = folder + tail;
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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

}  // namespace

FileOps FileOps::system() {
  FileOps ops;
  ops.write = [](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); };
  ops.fsync = [](int fd) { return ::fsync(fd); };
  ops.rename = [](const char* from, const char* to) { return ::rename(from, to); };
  // Opened without O_TRUNC and closed again: the file is not changed.
  ops.writable = [](const char* path) {
    const int fd = ::open(path, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
  };
  return ops;
}

std::optional<platform::Failure> writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                                                     const FileOps& ops) {
  if (path.empty()) return platform::Failure{EINVAL, "无法写入: 没有文件名"};
  // Replace the file a link points to, never the link itself.
  std::string target = path;
  if (const auto err = resolveLinks(target)) return failure(*err, path, target, "无法解析符号链接");
  const std::string folder = folderOf(target);

  // The rename needs only the folder's permission; refuse what a plain write
  // to the file itself would not be allowed to do.
  struct stat existing {};
  const bool replacing = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  if (replacing) {
    if (const int err = ops.writable(target.c_str())) return failure(err, path, target, "文件不可写");
  }

  removeStaleTemps(folder);
  std::string temp;
  int fd = createTemp(folder, temp);
  if (fd < 0) return failure(errno, path, target, "无法在文件夹 \"" + folder + "\" 中创建文件");

  // Removes the temporary file on every failure below.
  auto abandon = [&](int err, const char* step) {
    if (fd >= 0) ::close(fd);
    ::unlink(temp.c_str());
    return failure(err, path, target, step);
  };

  if (replacing) {
    // Keep the replaced file's owner (only root may give it away; the group
    // alone may still be kept) and then its permissions, which chown may clear.
    if (::fchown(fd, existing.st_uid, existing.st_gid) != 0)
      (void)::fchown(fd, static_cast<uid_t>(-1), existing.st_gid);
    (void)::fchmod(fd, existing.st_mode & 07777);
  }

  if (const int err = writeAll(fd, bytes, ops)) return abandon(err, "写入失败");
  if (ops.fsync(fd) != 0) return abandon(errno, "写入磁盘失败");
  const int closed = ::close(fd);
  fd = -1;
  if (closed != 0) return abandon(errno, "写入磁盘失败");
  if (ops.rename(temp.c_str(), target.c_str()) != 0) return abandon(errno, "无法替换目标文件");

  // Make the rename itself durable; the file is in place even if this fails.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
  return std::nullopt;
}

}  // namespace tolvane::output
