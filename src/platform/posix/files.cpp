#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <system_error>

namespace tolvane::platform::files {

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool isSeparator(char c) { return c == '/'; }

std::string absolute(const std::string& path) {
  if (path.empty()) return path;
  std::error_code ec;
  const auto abs = std::filesystem::absolute(path, ec);
  return ec ? path : abs.lexically_normal().string();
}

// A relative link target is taken from the link's folder.
int followLinks(std::string& path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
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

Facts factsOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  Kind kind = Kind::Other;
  if (S_ISREG(st.st_mode)) kind = Kind::Regular;
  if (S_ISDIR(st.st_mode)) kind = Kind::Folder;
  if (S_ISFIFO(st.st_mode)) kind = Kind::Pipe;
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) kind = Kind::Device;
  if (S_ISSOCK(st.st_mode)) kind = Kind::Socket;
  return {kind, static_cast<unsigned>(st.st_mode & 07777), st.st_uid, st.st_gid};
}

long processId() { return static_cast<long>(::getpid()); }

bool processEnded(long id) { return ::kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH; }

void removeFilesIf(const std::string& folder, const std::function<bool(std::string_view)>& chosen) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    if (!chosen(entry->d_name)) continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    (void)::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

int createNew(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }

// Only root may give a file away; the group alone may still be kept. The
// permissions come last, as chown may clear some of them.
void keepOwnerAndMode(int fd, const Facts& facts) {
  if (::fchown(fd, facts.owner, facts.group) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), facts.group);
  (void)::fchmod(fd, facts.mode);
}

int close(int fd) { return ::close(fd); }

void remove(const std::string& path) { ::unlink(path.c_str()); }

void syncFolder(const std::string& folder) {
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
}

long write(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }

int flush(int fd) { return ::fsync(fd); }

int replace(const char* from, const char* to) { return ::rename(from, to); }

// Opened without O_TRUNC and closed again: the file is not changed.
int openable(const char* path) {
  const int fd = ::open(path, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

}  // namespace tolvane::platform::files
