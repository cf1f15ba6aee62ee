// Saves to links, read-only files and folders, and folders with leftovers:
// each ends as a plain write would and keeps what the user made.
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

namespace fs = std::filesystem;
using testutil::kNew;
using testutil::names;
using testutil::Saved;
using testutil::SaveTarget;
using testutil::SaveTo;
using testutil::kAsAPlainWrite;
using output::FileOps;
using testutil::bytesOf;
using testutil::written;

TEST_P(SaveTo, EndsAsAPlainWriteWouldAndKeepsWhatTheUserMade) {
  const SaveTarget& t = GetParam();
  const std::string path = t.arrange(dir);
  int error = t.error;
  if (error == kAsAPlainWrite) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    error = fd < 0 ? errno : 0;
    if (fd >= 0) ::close(fd);
  }
  Saved saved;
  if (t.unprivileged) {
    std::string why;
    const auto s = saveUnprivileged(path, why);
    if (!s) GTEST_SKIP() << why;
    saved = *s;
  } else {
    saved = save(path);
  }
  if (error == 0) {
    EXPECT_TRUE(written(saved.error));
  } else {
    ASSERT_TRUE(saved.error) << "the save should fail";
    EXPECT_EQ(saved.error->error, error) << saved.error->description;
    EXPECT_NE(saved.error->description.find(path), std::string::npos) << saved.error->description;
    EXPECT_NE(saved.error->description.find(std::strerror(error)), std::string::npos) << saved.error->description;
  }
  t.check(dir, saved);
}

void link(const testutil::TempDir& d, const std::string& target, const std::string& name) {
  fs::create_symlink(target, d.path(name));
}
mode_t modeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A process id that no process has now.
pid_t deadPid() {
  for (;;) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    if (::kill(child, 0) != 0 && errno == ESRCH) return child;
  }
}

std::string tempName(long pid, const std::string& rest = "-1a2b3c-7.tmp") {
  return ".tolvane-" + std::to_string(pid) + rest;
}

// A save of `path` in a child process that is killed halfway through writing.
void killedSave(const std::string& path) {
  const pid_t child = ::fork();
  if (child == 0) {
    FileOps ops = FileOps::system();
    ops.write = [](int fd, const void* data, std::size_t size) -> ssize_t {
      (void)!::write(fd, data, size / 2);
      ::raise(SIGKILL);
      return -1;
    };
    (void)output::writeFileAtomically(path, bytesOf(kNew), ops);
    ::_exit(0);
  }
  ::waitpid(child, nullptr, 0);
}

void expectLink(const testutil::TempDir& d, const std::string& name, const std::string& target) {
  EXPECT_TRUE(fs::is_symlink(d.path(name))) << name << " should still be a link";
  if (fs::is_symlink(d.path(name))) {
    EXPECT_EQ(fs::read_symlink(d.path(name)).string(), target);
  }
}

const SaveTarget kSaveTargets[] = {
    {"LinkInTheSameFolder",
     [](const auto& d) {
       d.write("real.png", "old");
       link(d, "real.png", "link.png");
       return d.path("link.png");
     },
     0,
     [](const auto& d, const Saved& s) {
       expectLink(d, "link.png", "real.png");
       EXPECT_EQ(d.read("real.png"), kNew);
       EXPECT_EQ(s.renamedTo, d.root() + "/real.png");
       EXPECT_EQ(d.entries(), (std::vector<std::string>{"link.png", "real.png"}));
     }},
    {"RelativeLinkIntoAnotherFolder",
     [](const auto& d) {
       fs::create_directory(d.path("a"));
       fs::create_directory(d.path("b"));
       d.write("b/real.png", "old");
       link(d, "../b/real.png", "a/link.png");  // relative to the link's folder, not the current one
       return d.path("a/link.png");
     },
     0,
     [](const auto& d, const Saved& s) {
       expectLink(d, "a/link.png", "../b/real.png");
       EXPECT_EQ(d.read("b/real.png"), kNew);
       // The temporary file sat beside the target.
       EXPECT_TRUE(fs::equivalent(fs::path(s.renamedFrom).parent_path(), d.path("b"))) << s.renamedFrom;
       EXPECT_EQ(names(d.path("a")), std::vector<std::string>{"link.png"});
       EXPECT_EQ(names(d.path("b")), std::vector<std::string>{"real.png"});
     }},
    {"ChainOfLinksEndingInAnAbsolutePath",
     [](const auto& d) {
       fs::create_directory(d.path("c"));
       d.write("c/real.png", "old");
       link(d, d.path("c/real.png"), "second");
       link(d, "second", "first");
       return d.path("first");
     },
     0,
     [](const auto& d, const Saved&) {
       expectLink(d, "first", "second");
       expectLink(d, "second", d.path("c/real.png"));
       EXPECT_EQ(d.read("c/real.png"), kNew);
     }},
    {"DanglingLink",
     [](const auto& d) {
       link(d, "new.png", "link.png");
       return d.path("link.png");
     },
     0,
     [](const auto& d, const Saved&) {
       expectLink(d, "link.png", "new.png");
       EXPECT_EQ(d.read("new.png"), kNew);
       EXPECT_EQ(d.entries(), (std::vector<std::string>{"link.png", "new.png"}));
     }},
    {"DanglingLinkIntoAMissingFolder",
     [](const auto& d) {
       link(d, "gone/new.png", "link.png");
       return d.path("link.png");
     },
     ENOENT,
     [](const auto& d, const Saved& s) {
       expectLink(d, "link.png", "gone/new.png");
       ASSERT_TRUE(s.error);
       EXPECT_NE(s.error->description.find("gone/new.png"), std::string::npos) << s.error->description;
       EXPECT_EQ(d.entries(), std::vector<std::string>{"link.png"});
     }},
    {"LinkLoop",
     [](const auto& d) {
       link(d, "b.png", "a.png");
       link(d, "a.png", "b.png");
       return d.path("a.png");
     },
     ELOOP,
     [](const auto& d, const Saved&) {
       expectLink(d, "a.png", "b.png");
       expectLink(d, "b.png", "a.png");
       EXPECT_EQ(d.entries(), (std::vector<std::string>{"a.png", "b.png"}));
     }},
    {"ReadOnlyFile",
     [](const auto& d) {
       d.write("f.png", "old");
       fs::permissions(d.path("f.png"), fs::perms(0444));
       return d.path("f.png");
     },
     EACCES,
     [](const auto& d, const Saved&) {
       EXPECT_EQ(d.read("f.png"), "old");
       EXPECT_EQ(modeOf(d.path("f.png")), 0444u);
       EXPECT_EQ(d.entries(), std::vector<std::string>{"f.png"});
     },
     true},
    {"ReadOnlyFileAsTheUserRunningTheTests",  // root may write it, and then it stays read-only
     [](const auto& d) {
       d.write("f.png", "old");
       fs::permissions(d.path("f.png"), fs::perms(0444));
       return d.path("f.png");
     },
     kAsAPlainWrite,
     [](const auto& d, const Saved& s) {
       EXPECT_EQ(d.read("f.png"), s.error ? "old" : kNew);
       EXPECT_EQ(modeOf(d.path("f.png")), 0444u);
       EXPECT_EQ(d.entries(), std::vector<std::string>{"f.png"});
     }},
    {"ReadOnlyFileBehindALink",
     [](const auto& d) {
       d.write("real.png", "old");
       fs::permissions(d.path("real.png"), fs::perms(0444));
       link(d, "real.png", "link.png");
       return d.path("link.png");
     },
     EACCES,
     [](const auto& d, const Saved&) {
       expectLink(d, "link.png", "real.png");
       EXPECT_EQ(d.read("real.png"), "old");
       EXPECT_EQ(d.entries(), (std::vector<std::string>{"link.png", "real.png"}));
     },
     true},
    {"WritableFileInAFolderNotWritable",  // a plain write could, but no file can be made beside it
     [](const auto& d) {
       fs::create_directory(d.path("sub"));
       d.write("sub/f.png", "old");
       fs::permissions(d.path("sub/f.png"), fs::perms(0666));
       fs::permissions(d.path("sub"), fs::perms(0555));
       return d.path("sub/f.png");
     },
     EACCES,
     [](const auto& d, const Saved& s) {
       ASSERT_TRUE(s.error);
       EXPECT_NE(s.error->description.find("\"" + d.path("sub") + "\""), std::string::npos) << s.error->description;
       EXPECT_EQ(d.read("sub/f.png"), "old");
       EXPECT_EQ(names(d.path("sub")), std::vector<std::string>{"f.png"});
     },
     true},
    {"TempLeftByAKilledSave",
     [](const auto& d) {
       d.write("f.png", "old");
       killedSave(d.path("f.png"));
       EXPECT_EQ(d.entries().size(), 2u) << "the killed save should leave its temporary file";
       return d.path("f.png");
     },
     0,
     [](const auto& d, const Saved&) {
       EXPECT_EQ(d.read("f.png"), kNew);
       EXPECT_EQ(d.entries(), std::vector<std::string>{"f.png"});
     }},
    {"TempsOfLiveProcessesStay",
     [](const auto& d) {
       d.write(tempName(::getppid()), "another save at work");
       d.write(tempName(::getpid(), "-ff-1.tmp"), "this process's");
       d.write(tempName(deadPid()), "stale");
       return d.path("f.png");
     },
     0,
     [](const auto& d, const Saved&) {
       EXPECT_EQ(d.read("f.png"), kNew);
       std::vector<std::string> kept{tempName(::getpid(), "-ff-1.tmp"), tempName(::getppid()), "f.png"};
       std::sort(kept.begin(), kept.end());
       EXPECT_EQ(d.entries(), kept);
     }},
    {"OnlyTheWritersOwnNamesAreTakenForTemps",
     [](const auto& d) {
       const long dead = deadPid();
       for (const std::string& name :
            {tempName(dead, "-1a2b3c-7.tmp~"), tempName(dead, "-1A2B3C-7.tmp"), tempName(dead, "-1a2b3c.tmp"),
             tempName(dead, "-1a2b3c-7-8.tmp"), tempName(dead, "--7.tmp"), tempName(dead, "-1a2b3c-.tmp"),
             tempName(0, "-1a2b3c-7.tmp"), ".tolvane-0" + std::to_string(dead) + "-1a2b3c-7.tmp",
             "tolvane-" + std::to_string(dead) + "-1a2b3c-7.tmp", "x" + tempName(dead)})
         d.write(name, "not a temporary file");
       fs::create_directory(d.path(tempName(dead, "-1-1.tmp")));  // a folder by that name
       link(d, "f.png", tempName(dead, "-1-2.tmp"));              // a link by that name
       fs::create_directory(d.path("other"));
       d.write("other/" + tempName(dead), "stale, but in another folder");
       return d.path("f.png");
     },
     0,
     [](const auto& d, const Saved&) {
       EXPECT_EQ(d.read("f.png"), kNew);
       EXPECT_EQ(d.entries().size(), 14u);  // the ten files, the folder, the link, other/ and f.png
       EXPECT_EQ(names(d.path("other")).size(), 1u);
     }},
    {"StaleTempBesideTheFileALinkPointsTo",
     [](const auto& d) {
       fs::create_directory(d.path("a"));
       fs::create_directory(d.path("b"));
       const pid_t dead = deadPid();
       d.write("b/" + tempName(dead), "stale");
       link(d, "../b/real.png", "a/link.png");
       return d.path("a/link.png");
     },
     0,
     [](const auto& d, const Saved&) {
       EXPECT_EQ(names(d.path("b")), std::vector<std::string>{"real.png"});
     }},
};

INSTANTIATE_TEST_SUITE_P(Targets, SaveTo, ::testing::ValuesIn(kSaveTargets),
                         [](const auto& param) { return std::string(param.param.name); });


}  // namespace
}  // namespace tolvane
