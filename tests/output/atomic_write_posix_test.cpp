// The atomic writer and POSIX files: permissions, owners, the umask and
// symbolic links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace
}  // namespace tolvane
