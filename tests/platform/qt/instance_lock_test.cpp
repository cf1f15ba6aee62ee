#include <gtest/gtest.h>

#include <signal.h>
#include <fcntl.h>
#include <cerrno>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>

#include "platform/posix/instance_lock.h"

namespace tolvane {
namespace {

using platform::InstanceLock;
using platform::posix::FlockInstanceLock;
using State = InstanceLock::State;

TEST(InstanceLock, SecondHolderIsTurnedAwayUntilRelease) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  FlockInstanceLock first(dir.path().toStdString()), second(dir.path().toStdString());
  ASSERT_EQ(first.acquire().state, State::Acquired);
  EXPECT_EQ(first.acquire().state, State::Acquired);  // asking again keeps it
  EXPECT_EQ(second.acquire().state, State::HeldElsewhere);
  first.release();
  EXPECT_EQ(second.acquire().state, State::Acquired);
  EXPECT_EQ(first.acquire().state, State::HeldElsewhere);

  struct stat st {};
  ASSERT_EQ(::stat(second.path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(InstanceLock, LockOfAKilledProcessDoesNotBlock) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string path = dir.path().toStdString();
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    FlockInstanceLock held(path);
    const char ok = held.acquire().state == State::Acquired ? '1' : '0';
    [[maybe_unused]] auto n = ::write(ready[1], &ok, 1);
    for (;;) ::pause();
  }
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, '1');
  FlockInstanceLock mine(path);
  EXPECT_EQ(mine.acquire().state, State::HeldElsewhere);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(mine.acquire().state, State::Acquired);
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST(InstanceLock, UnusableRuntimeFolderIsUnavailableWithItsReason) {
  QTemporaryDir dir;
  const std::string file = dir.path().toStdString() + "/plain-file";
  ASSERT_EQ(::close(::creat(file.c_str(), 0600)), 0);
  struct Case {
    std::string folder;
    int error;
    std::string named;  // the words name this
  };
  const Case cases[] = {
      {"/nonexistent/tolvane-runtime", ENOENT, "/nonexistent/tolvane-runtime"},
      {"", ENOENT, "XDG_RUNTIME_DIR"},
      {file, ENOTDIR, file + " is not a folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    FlockInstanceLock lock(c.folder);
    const auto result = lock.acquire();
    EXPECT_EQ(result.state, State::Unavailable);
    ASSERT_TRUE(result.failure.has_value());
    EXPECT_EQ(result.failure->error, c.error);
    EXPECT_NE(result.failure->description.find(c.named), std::string::npos) << result.failure->description;
  }
}

TEST(InstanceLock, ReadsTheRuntimeFolderFromTheEnvironment) {
  QTemporaryDir dir;
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old ? old : "";
  setenv("XDG_RUNTIME_DIR", dir.path().toUtf8().constData(), 1);
  FlockInstanceLock lock;
  const auto taken = lock.acquire();
  EXPECT_EQ(taken.state, State::Acquired);
  EXPECT_FALSE(taken.failure.has_value());
  EXPECT_EQ(lock.path(), dir.path().toStdString() + "/tolvane.lock");
  unsetenv("XDG_RUNTIME_DIR");
  FlockInstanceLock none;
  EXPECT_EQ(none.acquire().state, State::Unavailable);
  if (old) setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

}  // namespace
}  // namespace tolvane
