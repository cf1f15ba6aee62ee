// The system's file calls the atomic writer (output/atomic_file.h) is built
// from. Paths are UTF-8. Failures are errno values, on every system.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tolvane::platform::files {

// The folder holding `path`: "." for a bare name.
std::string folderOf(const std::string& path);
// Whether `c` separates folders: '/', and on Windows '\\' too.
bool isSeparator(char c);
// `path` taken from the current folder and normalised; as given when that fails.
std::string absolute(const std::string& path);

// Replaces `path` by the file its symbolic links lead to, which need not
// exist: 0, or the errno open() would give (ELOOP for a loop).
int followLinks(std::string& path);

// What a path names, after its links: Pipe, Device and Socket on POSIX only.
enum class Kind { Missing, Regular, Folder, Pipe, Device, Socket, Other };
struct Facts {
  Kind kind = Kind::Missing;
  unsigned mode = 0, owner = 0, group = 0;  // POSIX only
};
Facts factsOf(const std::string& path);

long processId();
bool processEnded(long id);  // false while it runs or when we cannot tell

// Removes the regular files in `folder` whose names `chosen` returns true for.
void removeFilesIf(const std::string& folder, const std::function<bool(std::string_view name)>& chosen);

// Creates `path`, which must not exist, and opens it for writing: a
// descriptor, or -1 with errno set (EEXIST when it exists).
int createNew(const std::string& path);
// Gives the file the owner, group and permissions in `facts`, as far as the user may.
void keepOwnerAndMode(int fd, const Facts& facts);
int close(int fd);  // 0, or -1 with errno set
void remove(const std::string& path);
// Makes a rename in `folder` durable, where the system needs to be asked.
void syncFolder(const std::string& folder);

// The calls FileOps::system() makes; -1 with errno set on failure.
long write(int fd, const void* data, std::size_t size);
int flush(int fd);                            // to the disk
int replace(const char* from, const char* to);  // renames over an existing file
int openable(const char* path);               // 0, or the errno a plain write's open gives

}  // namespace tolvane::platform::files
