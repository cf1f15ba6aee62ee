#include <gtest/gtest.h>

#include <signal.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>

#include "platform/qt/instance_lock.h"

namespace tolvane {
namespace {

using platform::InstanceLock;
using platform::qt::FlockInstanceLock;
using State = InstanceLock::State;

TEST(InstanceLock, SecondHolderIsTurnedAwayUntilRelease) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  FlockInstanceLock first(dir.path().toStdString()), second(dir.path().toStdString());
  ASSERT_EQ(first.acquire(), State::Acquired);
  EXPECT_EQ(first.acquire(), State::Acquired);  // asking again keeps it
  EXPECT_EQ(second.acquire(), State::HeldElsewhere);
  first.release();
  EXPECT_EQ(second.acquire(), State::Acquired);
  EXPECT_EQ(first.acquire(), State::HeldElsewhere);

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
    const char ok = held.acquire() == State::Acquired ? '1' : '0';
    [[maybe_unused]] auto n = ::write(ready[1], &ok, 1);
    for (;;) ::pause();
  }
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, '1');
  FlockInstanceLock mine(path);
  EXPECT_EQ(mine.acquire(), State::HeldElsewhere);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(mine.acquire(), State::Acquired);
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST(InstanceLock, UnusableRuntimeFolderIsUnavailable) {
  FlockInstanceLock missing(std::string("/nonexistent/tolvane-runtime"));
  EXPECT_EQ(missing.acquire(), State::Unavailable);
  EXPECT_NE(missing.problem().find("/nonexistent/tolvane-runtime"), std::string::npos);

  FlockInstanceLock unset(std::string{});
  EXPECT_EQ(unset.acquire(), State::Unavailable);
  EXPECT_NE(unset.problem().find("XDG_RUNTIME_DIR"), std::string::npos);

  QTemporaryDir dir;
  const std::string file = dir.path().toStdString() + "/plain-file";
  ASSERT_EQ(::close(::creat(file.c_str(), 0600)), 0);
  FlockInstanceLock notAFolder(file);
  EXPECT_EQ(notAFolder.acquire(), State::Unavailable);
  EXPECT_FALSE(notAFolder.problem().empty());
}

TEST(InstanceLock, ReadsTheRuntimeFolderFromTheEnvironment) {
  QTemporaryDir dir;
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old ? old : "";
  setenv("XDG_RUNTIME_DIR", dir.path().toUtf8().constData(), 1);
  FlockInstanceLock lock;
  EXPECT_EQ(lock.acquire(), State::Acquired);
  EXPECT_EQ(lock.path(), dir.path().toStdString() + "/tolvane.lock");
  unsetenv("XDG_RUNTIME_DIR");
  FlockInstanceLock none;
  EXPECT_EQ(none.acquire(), State::Unavailable);
  if (old) setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

}  // namespace
}  // namespace tolvane
