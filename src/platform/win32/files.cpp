#include "platform/files.h"

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include "platform/win32/win.h"

#include <cerrno>
#include <climits>
#include <filesystem>
#include <system_error>

#include "platform/win32/wide.h"

namespace tolvane::platform::files {

namespace {

int errnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    default: return EIO;
  }
}

}  // namespace

// Either slash separates; "C:\x" is in "C:", which the temporary name's "/" makes the root.
std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  if (slash == 0) return path.substr(0, 1);
  return path.substr(0, slash);
}

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Through UTF-16: a narrow std::filesystem path would read the bytes in the ANSI code page.
std::string absolute(const std::string& path) {
  if (path.empty()) return path;
  std::error_code ec;
  const auto abs = std::filesystem::absolute(std::filesystem::path(win32::widen(path)), ec);
  return ec ? path : win32::narrow(abs.lexically_normal().wstring());
}

// Links are rare on Windows and need a privilege to make; the path is taken as it is.
int followLinks(std::string&) { return 0; }

Facts factsOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(win32::widen(path).c_str(), GetFileExInfoStandard, &data)) return {};
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return {Kind::Folder};
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) return {Kind::Other};
  return {Kind::Regular};
}

long processId() { return static_cast<long>(GetCurrentProcessId()); }

bool processEnded(long id) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
  if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
  DWORD code = 0;
  const bool ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
  CloseHandle(process);
  return ended;
}

void removeFilesIf(const std::string& folder, const std::function<bool(std::string_view)>& chosen) {
  const std::wstring wfolder = win32::widen(folder) + L"\\";
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW((wfolder + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    if (chosen(win32::narrow(found.cFileName))) DeleteFileW((wfolder + found.cFileName).c_str());
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

int createNew(const std::string& path) {
  return _wopen(win32::widen(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                _S_IREAD | _S_IWRITE);
}

// A new file takes its access rights from its folder, as the replaced one did.
void keepOwnerAndMode(int, const Facts&) {}

int close(int fd) { return _close(fd); }

void remove(const std::string& path) { _wunlink(win32::widen(path).c_str()); }

// MoveFileExW with MOVEFILE_WRITE_THROUGH returns once the rename is on the disk.
void syncFolder(const std::string&) {}

long write(int fd, const void* data, std::size_t size) {
  return _write(fd, data, static_cast<unsigned>(size > INT_MAX ? INT_MAX : size));
}

int flush(int fd) { return _commit(fd); }

int replace(const char* from, const char* to) {
  if (MoveFileExW(win32::widen(from).c_str(), win32::widen(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return 0;
  errno = errnoOf(GetLastError());
  return -1;
}

int openable(const char* path) {
  const int fd = _wopen(win32::widen(path).c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) return errno;
  _close(fd);
  return 0;
}

}  // namespace tolvane::platform::files
