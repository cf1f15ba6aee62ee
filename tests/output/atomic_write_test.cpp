// The atomic writer against real files: the target is wholly written or untouched.
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

#include "fake/fake_platform.h"
#include "output/atomic_file.h"
#include "output/image_writer.h"
#include "output/save_support.h"
#include "output/temp_dir.h"


namespace tolvane {
namespace {

using output::FileOps;
using testutil::bytesOf;
using testutil::written;

// --- the atomic writer alone ---

struct AtomicWrite : ::testing::Test {
  testutil::TempDir dir;
  FileOps ops = FileOps::system();
};

TEST_F(AtomicWrite, ReplacesAnExistingFileAndKeepsItsPermissions) {
  dir.write("f", "old old old");
  ASSERT_EQ(::chmod(dir.path("f").c_str(), 0640), 0);
  EXPECT_TRUE(written(output::writeFileAtomically(dir.path("f"), bytesOf("new"), ops)));
  EXPECT_EQ(dir.read("f"), "new");
  struct stat st {};
  ASSERT_EQ(::stat(dir.path("f").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(AtomicWrite, AsksWhetherThePlainWriteCouldOpenTheRealFileAndRefusesWithItsErrno) {
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

TEST_F(AtomicWrite, KeepsTheOwnerAndGroupOfTheReplacedFile) {
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

TEST_F(AtomicWrite, CreatesANewFileWithTheUmaskApplied) {
  const mode_t old = ::umask(027);
  const auto error = output::writeFileAtomically(dir.path("g"), bytesOf(""), ops);
  ::umask(old);
  EXPECT_TRUE(written(error));
  struct stat st {};
  ASSERT_EQ(::stat(dir.path("g").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_size, 0);
}

TEST_F(AtomicWrite, GoesOnAfterShortAndInterruptedWrites) {
  int calls = 0;
  ops.write = [&](int fd, const void* data, std::size_t size) -> ssize_t {
    if (++calls % 2 == 0) {
      errno = EINTR;
      return -1;
    }
    return ::write(fd, data, std::min<std::size_t>(size, 3));
  };
  const std::string content = "0123456789abcdef";
  EXPECT_TRUE(written(output::writeFileAtomically(dir.path("h"), bytesOf(content), ops)));
  EXPECT_EQ(dir.read("h"), content);
  EXPECT_GT(calls, 10);
}

TEST_F(AtomicWrite, AWriteThatStallsCountsAsAFullDisk) {
  ops.write = [](int, const void*, std::size_t) -> ssize_t { return 0; };
  const auto error = output::writeFileAtomically(dir.path("s"), bytesOf("abc"), ops);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->error, ENOSPC);
  EXPECT_TRUE(dir.entries().empty());
}

TEST_F(AtomicWrite, AFailedFlushOrRenameLeavesTheTargetAndNoTemporary) {
  dir.write("t", "keep me");
  ops.fsync = [](int) {
    errno = EIO;
    return -1;
  };
  auto error = output::writeFileAtomically(dir.path("t"), bytesOf("lost"), ops);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->error, EIO);
  EXPECT_NE(error->description.find(dir.path("t")), std::string::npos);

  ops = FileOps::system();
  std::string renamedFrom;
  ops.rename = [&](const char* from, const char*) {
    renamedFrom = from;
    errno = EXDEV;
    return -1;
  };
  error = output::writeFileAtomically(dir.path("t"), bytesOf("lost"), ops);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->error, EXDEV);
  // The temporary file sat next to the target and is gone again.
  EXPECT_EQ(std::filesystem::path(renamedFrom).parent_path(), std::filesystem::path(dir.root()));
  EXPECT_FALSE(std::filesystem::exists(renamedFrom));
  EXPECT_EQ(dir.read("t"), "keep me");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"t"});
}

TEST_F(AtomicWrite, RefusesAFolderAsTarget) {
  std::filesystem::create_directory(dir.path("sub"));
  const auto error = output::writeFileAtomically(dir.path("sub"), bytesOf("x"), ops);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->error, EISDIR);
  EXPECT_TRUE(std::filesystem::is_directory(dir.path("sub")));
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"sub"});
}

TEST_F(AtomicWrite, WritesIntoTheCurrentFolderForABareName) {
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.root());
  const auto error = output::writeFileAtomically("bare.png", bytesOf("b"), ops);
  std::filesystem::current_path(cwd);
  EXPECT_TRUE(written(error));
  EXPECT_EQ(dir.read("bare.png"), "b");
}


}  // namespace
}  // namespace tolvane
