// The atomic writer and POSIX files: permissions, owners, the umask and
// symbolic links.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <filesystem>
#include <string>
#include <vector>

#include "output/atomic_file.h"
#include "output/temp_dir.h"
#include "output/write_support.h"

namespace tolvane {
namespace {

using output::FileOps;
using testutil::bytesOf;
using testutil::written;

struct AtomicWritePosix : ::testing::Test {
  testutil::TempDir dir;
  FileOps ops = FileOps::system();
};

TEST_F(AtomicWritePosix, ReplacesAnExistingFileAndKeepsItsPermissions) {
  dir.write("f", "old old old");
  ASSERT_EQ(::chmod(dir.path("f").c_str(), 0640), 0);
  EXPECT_TRUE(written(output::writeFileAtomically(dir.path("f"), bytesOf("new"), ops)));
  EXPECT_EQ(dir.read("f"), "new");
  struct stat st {};
  ASSERT_EQ(::stat(dir.path("f").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(AtomicWritePosix, AsksWhetherThePlainWriteCouldOpenTheRealFileAndRefusesWithItsErrno) {
  dir.write("f", "keep me");
  std::filesystem::create_symlink("f", dir.path("link"));
  std::vector<std::string> asked;
  ops.writable = [&](const char* path) {
    asked.emplace_back(path);
    return EROFS;
  };
  const auto error = output::writeFileAtomically(dir.path("link"), bytesOf("new"), ops);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->error, EROFS);
  EXPECT_EQ(asked, std::vector<std::string>{dir.root() + "/f"});
  EXPECT_EQ(dir.read("f"), "keep me");
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"f", "link"}));
  // A new file is not asked about: the folder decides.
  asked.clear();
  EXPECT_TRUE(written(output::writeFileAtomically(dir.path("g"), bytesOf("new"), ops)));
  EXPECT_TRUE(asked.empty());
}

TEST_F(AtomicWritePosix, KeepsTheOwnerAndGroupOfTheReplacedFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
  dir.write("f", "old");
  ASSERT_EQ(::chown(dir.path("f").c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(dir.path("f").c_str(), 02664), 0);  // chown clears set-group-ID; it must come back
  EXPECT_TRUE(written(output::writeFileAtomically(dir.path("f"), bytesOf("new"), ops)));
  struct stat st {};
  ASSERT_EQ(::stat(dir.path("f").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  EXPECT_EQ(st.st_mode & 07777, 02664u);
  EXPECT_EQ(dir.read("f"), "new");
}

TEST_F(AtomicWritePosix, CreatesANewFileWithTheUmaskApplied) {
  const mode_t old = ::umask(027);
  const auto error = output::writeFileAtomically(dir.path("g"), bytesOf(""), ops);
  ::umask(old);
  EXPECT_TRUE(written(error));
  struct stat st {};
  ASSERT_EQ(::stat(dir.path("g").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_size, 0);
}

// Only a regular file or a new name is written: whatever else the name
// stands for, after its links, is refused with what it is, and stays as it was.
struct SpecialTarget {
  const char* name;
  std::function<std::string(const testutil::TempDir&)> make;  // the path to save to
  const char* told;                                            // in the failure's words
  mode_t kind;                                                 // what the name still is afterwards
};

std::string fifo(const testutil::TempDir& d) {
  ::mkfifo(d.path("t.png").c_str(), 0600);
  return d.path("t.png");
}

std::string linkTo(const testutil::TempDir& d, const std::string& target) {
  std::filesystem::create_symlink(target, d.path("link.png"));
  return d.path("link.png");
}

// A device node: a null device of the test's own where it may make one (as
// root, who could also replace /dev/null itself), else the system's.
std::string deviceNode(const testutil::TempDir& d) {
  if (::mknod(d.path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) return d.path("null");
  return "/dev/null";
}

std::string socketAt(const testutil::TempDir& d) {
  const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", d.path("s.png").c_str());
  ::bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  ::close(s);
  return d.path("s.png");
}

const SpecialTarget kSpecialTargets[] = {
    {"AFifo", fifo, "管道", S_IFIFO},
    {"ALinkToAFifo", [](const auto& d) { return linkTo(d, fifo(d)); }, "管道", S_IFIFO},
    {"ALinkToADevice", [](const auto& d) { return linkTo(d, deviceNode(d)); }, "设备", S_IFCHR},
    {"ASocket", socketAt, "套接字", S_IFSOCK},
    {"ALinkToAFolder",
     [](const auto& d) {
       std::filesystem::create_directory(d.path("sub"));
       return linkTo(d, d.path("sub"));
     },
     "文件夹", S_IFDIR},
};

class SaveTargets : public ::testing::TestWithParam<SpecialTarget> {};

TEST_P(SaveTargets, AreRefusedWithWhatTheyAreAndLeftAlone) {
  testutil::TempDir dir;
  const std::string path = GetParam().make(dir);
  const auto before = dir.entries();
  const auto error = output::writeFileAtomically(path, bytesOf("png"), FileOps::system());
  ASSERT_TRUE(error.has_value());
  EXPECT_NE(error->description.find(GetParam().told), std::string::npos) << error->description;
  EXPECT_NE(error->description.find("不是普通文件"), std::string::npos) << error->description;
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & S_IFMT, GetParam().kind);
  EXPECT_EQ(dir.entries(), before);  // nothing left behind
}

INSTANTIATE_TEST_SUITE_P(Special, SaveTargets, ::testing::ValuesIn(kSpecialTargets),
                         [](const ::testing::TestParamInfo<SpecialTarget>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tolvane
