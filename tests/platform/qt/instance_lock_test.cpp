#include <gtest/gtest.h>

#include <signal.h>
#include <fcntl.h>
#include <cerrno>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>

#include <functional>
#include <string>

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

// Where the lock goes, by what the runtime folder and the user's own folder
// under the shared temporary folder are: a place another user could have
// set up or could hold the lock in is passed over; with no place left the
// lock is Unavailable, naming why.
struct Place {
  const char* name;
  bool needsRoot;  // files given to another user
  // Prepares the runtime folder (under `base`) and the shared temporary
  // folder `shared`; the runtime folder to give the lock ("" for unset).
  std::function<std::string(const std::string& base, const std::string& shared)> make;
  enum { Runtime, Fallback, None } lockIn;
  const char* told = "";  // for None: in the failure's words
};

constexpr uid_t kOther = 65534;
std::string own(const std::string& shared) { return shared + "/tolvane-" + std::to_string(::geteuid()); }
std::string folder(const std::string& path, mode_t mode, uid_t owner = ::geteuid()) {
  ::mkdir(path.c_str(), 0700);
  ::chmod(path.c_str(), mode);
  if (owner != ::geteuid() && ::chown(path.c_str(), owner, owner) != 0) return {};
  return path;
}
std::string lockFile(const std::string& dir, mode_t mode, uid_t owner = ::geteuid()) {
  const std::string path = dir + "/tolvane.lock";
  ::close(::open(path.c_str(), O_CREAT | O_WRONLY, mode));
  ::chmod(path.c_str(), mode);
  if (owner != ::geteuid() && ::chown(path.c_str(), owner, owner) != 0) return {};
  return dir;
}

const Place kPlaces[] = {
    {"UsableRuntimeFolder", false, [](auto& b, auto&) { return folder(b + "/run", 0700); }, Place::Runtime},
    {"OwnLockFileOpenToOthersIsMadePrivate", false,
     [](auto& b, auto&) { return lockFile(folder(b + "/run", 0700), 0644); }, Place::Runtime},
    {"StickyFolderOfOurs", false, [](auto& b, auto&) { return folder(b + "/run", 01777); }, Place::Runtime},
    {"Unset", false, [](auto&, auto&) { return std::string(); }, Place::Fallback},
    {"Missing", false, [](auto& b, auto&) { return b + "/missing"; }, Place::Fallback},
    {"AFile", false, [](auto& b, auto&) { return lockFile(b, 0600) + "/tolvane.lock"; }, Place::Fallback},
    {"WritableByOthers", false, [](auto& b, auto&) { return folder(b + "/run", 0777); }, Place::Fallback},
    {"AFifoAsTheLock", false,
     [](auto& b, auto&) {
       const std::string run = folder(b + "/run", 0700);
       ::mkfifo((run + "/tolvane.lock").c_str(), 0600);
       return run;
     },
     Place::Fallback},
    {"AnotherUsersFolder", true, [](auto& b, auto&) { return folder(b + "/run", 0700, kOther); }, Place::Fallback},
    {"AnotherUsersLockInASharedFolder", true,
     [](auto& b, auto&) { return lockFile(folder(b + "/run", 01777), 0666, kOther); }, Place::Fallback},
    {"OwnFolderMadeByAnotherUser", true,
     [](auto&, auto& shared) {
       folder(own(shared), 0700, kOther);
       return std::string();
     },
     Place::None, "belongs to another user"},
    {"OwnFolderOpenToOthers", false,
     [](auto&, auto& shared) {
       folder(own(shared), 0777);
       return std::string();
     },
     Place::None, "may be written by other users"},
    {"OwnFolderALink", false,
     [](auto& b, auto& shared) {
       ::symlink(folder(b + "/elsewhere", 0700).c_str(), own(shared).c_str());
       return std::string();
     },
     Place::None, "cannot be opened"},
};

class LockPlaces : public ::testing::TestWithParam<Place> {};

TEST_P(LockPlaces, OnlyAPlaceOfTheUsersOwnHoldsTheLock) {
  const Place& place = GetParam();
  if (place.needsRoot && ::geteuid() != 0) GTEST_SKIP() << "only root may give files to another user";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string base = dir.path().toStdString(), shared = folder(base + "/tmp", 01777);
  const std::string runtime = place.make(base, shared);
  FlockInstanceLock lock(runtime, shared);
  const auto result = lock.acquire();
  if (place.lockIn == Place::None) {
    EXPECT_EQ(result.state, State::Unavailable);
    ASSERT_TRUE(result.failure.has_value());
    EXPECT_NE(result.failure->description.find(place.told), std::string::npos) << result.failure->description;
    return;
  }
  ASSERT_EQ(result.state, State::Acquired) << (result.failure ? result.failure->description : "");
  const std::string where = place.lockIn == Place::Runtime ? runtime : own(shared);
  EXPECT_EQ(lock.path(), where + "/tolvane.lock");
  struct stat st {};
  ASSERT_EQ(::lstat(lock.path().c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_uid, ::geteuid());
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(::lstat(where.c_str(), &st), 0);
  if (place.lockIn == Place::Fallback) {
    EXPECT_EQ(st.st_mode & 07777, 0700u);
  }
  // The same place holds it for a second run.
  FlockInstanceLock second(runtime, shared);
  EXPECT_EQ(second.acquire().state, State::HeldElsewhere);
}

INSTANTIATE_TEST_SUITE_P(Places, LockPlaces, ::testing::ValuesIn(kPlaces),
                         [](const ::testing::TestParamInfo<Place>& p) { return std::string(p.param.name); });

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
  if (old) {
    setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  } else {
    unsetenv("XDG_RUNTIME_DIR");
  }
}

}  // namespace
}  // namespace tolvane
