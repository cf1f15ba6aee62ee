// The atomic writer against real files: the target is wholly written or
// untouched. These hold on every system; atomic_write_posix_test.cpp adds
// owners, permissions and links.
#include <gtest/gtest.h>

#include <algorithm>
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

struct AtomicWrite : ::testing::Test {
  testutil::TempDir dir;
  FileOps ops = FileOps::system();
};

TEST_F(AtomicWrite, ReplacesAnExistingFile) {
  dir.write("f", "old old old");
  EXPECT_TRUE(written(output::writeFileAtomically(dir.path("f"), bytesOf("new"), ops)));
  EXPECT_EQ(dir.read("f"), "new");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"f"});
}

TEST_F(AtomicWrite, AsksWhetherThePlainWriteCouldOpenTheFileAndRefusesWithItsErrno) {
  dir.write("f", "keep me");
  std::vector<std::string> asked;
  ops.writable = [&](const char* path) {
    asked.emplace_back(path);
    return EROFS;
  };
  const auto error = output::writeFileAtomically(dir.path("f"), bytesOf("new"), ops);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->error, EROFS);
  EXPECT_EQ(asked, std::vector<std::string>{dir.path("f")});
  EXPECT_EQ(dir.read("f"), "keep me");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"f"});
  // A new file is not asked about: the folder decides.
  asked.clear();
  EXPECT_TRUE(written(output::writeFileAtomically(dir.path("g"), bytesOf("new"), ops)));
  EXPECT_TRUE(asked.empty());
}

TEST_F(AtomicWrite, GoesOnAfterShortAndInterruptedWrites) {
  int calls = 0;
  const auto plainWrite = ops.write;
  ops.write = [&](int fd, const void* data, std::size_t size) -> ssize_t {
    if (++calls % 2 == 0) {
      errno = EINTR;
      return -1;
    }
    return plainWrite(fd, data, std::min<std::size_t>(size, 3));
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
