// The fixture of the POSIX save tests, which saves as the user or as an
// unprivileged one.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>

#include "output/atomic_file.h"
#include "output/image_writer.h"
#include "output/temp_dir.h"
#include "output/write_support.h"

namespace tolvane::testutil {

using output::FileOps;
namespace fs = std::filesystem;

// What one save did.
struct Saved {
  std::optional<platform::Failure> error;
  std::string renamedFrom, renamedTo;  // the temporary file and what it replaced
};

// The save's expected errno when it is whatever a plain open(O_WRONLY) of the
// target gives: root may write a read-only file, others may not.
constexpr int kAsAPlainWrite = -1;
// An unprivileged user for the cases about permissions; as root the save runs
// in a child process under this user.
constexpr uid_t kNobody = 65534;

struct SaveTarget {
  const char* name;
  // Prepares the scratch folder; the path the user chose.
  std::function<std::string(const testutil::TempDir&)> arrange;
  int error;  // the errno the save fails with; 0 when it works
  std::function<void(const testutil::TempDir&, const Saved&)> check;
  bool unprivileged = false;
};

inline void PrintTo(const SaveTarget& t, std::ostream* out) { *out << t.name; }

class SaveTo : public ::testing::TestWithParam<SaveTarget> {
 protected:
  Saved save(const std::string& path) {
    Saved saved;
    FileOps ops = FileOps::system();
    ops.rename = [&](const char* from, const char* to) {
      saved.renamedFrom = from;
      saved.renamedTo = to;
      return ::rename(from, to);
    };
    saved.error = output::writeFileAtomically(path, bytesOf(kNew), ops);
    return saved;
  }

  // The save as an unprivileged user: in a child process when running as root.
  // nullopt, with `why` set, when no such user can be had here.
  std::optional<Saved> saveUnprivileged(const std::string& path, std::string& why) {
    if (::geteuid() != 0) return save(path);
    fs::permissions(dir.root(), fs::perms::all);  // the user must reach the scratch folder
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
      why = "no pipe";
      return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(pipeFds[0]);
      std::string out;
      if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
        out = std::string("S") + std::strerror(errno);
      } else {
        const Saved s = save(path);
        out = "R" + std::to_string(s.error ? s.error->error : 0) + '\x1f' + (s.error ? s.error->description : "") +
              '\x1f' + s.renamedFrom + '\x1f' + s.renamedTo;
      }
      (void)!::write(pipeFds[1], out.data(), out.size());
      ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string in;
    char buf[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;) in.append(buf, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (in.empty() || in[0] != 'R') {
      why = "cannot become user " + std::to_string(kNobody) + ": " + in;
      return std::nullopt;
    }
    std::vector<std::string> parts;
    for (std::size_t at = 1;;) {
      const auto end = in.find('\x1f', at);
      parts.push_back(in.substr(at, end - at));
      if (end == std::string::npos) break;
      at = end + 1;
    }
    Saved saved;
    if (parts.size() != 4) {
      why = "garbled answer from the child";
      return std::nullopt;
    }
    if (const int err = std::stoi(parts[0])) saved.error = platform::Failure{err, parts[1]};
    saved.renamedFrom = parts[2];
    saved.renamedTo = parts[3];
    return saved;
  }

  void TearDown() override {
    // Folders made read-only by a case must be emptied again.
    for (const auto& e : fs::recursive_directory_iterator(dir.root(), fs::directory_options::skip_permission_denied))
      if (!e.is_symlink() && e.is_directory()) fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add);
  }
  testutil::TempDir dir;
};

}  // namespace tolvane::testutil
