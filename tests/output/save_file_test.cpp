// writeFile and the atomic writer against real files in a scratch folder.
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
#include "output/temp_dir.h"

namespace tolvane {
namespace {

using fake::Log;
using output::FileOps;
using platform::Format;

std::span<const std::uint8_t> bytesOf(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

::testing::AssertionResult written(const std::optional<platform::Failure>& e) {
  if (!e) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "error " << e->error << ": " << e->description;
}

// --- extensions and the message ---

TEST(FormatForExtension, IgnoresCaseAndTakesTheLongAndShortSpellings) {
  const std::vector<std::pair<std::string, Format>> known = {
      {"png", Format::Png},   {"PNG", Format::Png},   {"Png", Format::Png},   {"jpg", Format::Jpeg},
      {"JPG", Format::Jpeg},  {"Jpg", Format::Jpeg},  {"jpeg", Format::Jpeg}, {"JPEG", Format::Jpeg},
      {"bmp", Format::Bmp},   {"BMP", Format::Bmp},   {"gif", Format::Gif},   {"GIF", Format::Gif},
      {"tiff", Format::Tiff}, {"TIFF", Format::Tiff}, {"tif", Format::Tiff},  {"Tif", Format::Tiff}};
  for (const auto& [ext, format] : known) EXPECT_EQ(output::formatForExtension(ext), format) << ext;
  for (const std::string ext : {"", "09", "pn", "pngx", " png", "png ", "jp", "webp", "dir/shot", "\xEF\xBC\xB0NG"})
    EXPECT_EQ(output::formatForExtension(ext), std::nullopt) << ext;
}

TEST(SaveErrorText, HasTheFixedLayoutToTheCharacter) {
  EXPECT_EQ(output::saveErrorText(9, "不支持"),
            "\xE5\x9C\xA8\xE4\xBF\x9D\xE5\xAD\x98\xE5\x9B\xBE\xE7\x89\x87\xE7\x9A\x84\xE8\xBF\x87\xE7\xA8\x8B"
            "\xE4\xB8\xAD\xE5\x8F\x91\xE7\x94\x9F\xE9\x94\x99\xE8\xAF\xAF:\r\n\r\n"
            "\xE9\x94\x99\xE8\xAF\xAF\xE5\x8F\xB7: 9\r\n"
            "\xE9\x94\x99\xE8\xAF\xAF\xE6\x8F\x8F\xE8\xBF\xB0: \xE4\xB8\x8D\xE6\x94\xAF\xE6\x8C\x81");
  EXPECT_EQ(output::saveErrorText(-28, ""), "在保存图片的过程中发生错误:\r\n\r\n错误号: -28\r\n错误描述: ");
}

// --- writeFile ---

struct WriteFile : ::testing::Test {
  Log log;
  fake::FakePointer pointer{log};
  fake::FakeMessageBox box{log};
  fake::FakeEncoders encoders;
  output::ImageWriter save{pointer, box, encoders};
  testutil::TempDir dir;
  Image pic{4, 3, 0xFF102030u};

  bool put(const std::string& name, const std::string& ext) {
    return save.writeFile(pic, dir.path(name), ext, 80, 24, 6);
  }
  // The last message box's text, or "" when none was shown.
  std::string message() const { return box.shown.empty() ? "" : box.shown.back().second; }
};

TEST_F(WriteFile, WritesTheEncodedBytesUnderTheBusyPointer) {
  ASSERT_TRUE(save.writeFile(pic, dir.path("a.jpg"), "JPG", 55, 24, 6));
  EXPECT_EQ(dir.read("a.jpg"), "FAKE1:4x3");
  ASSERT_EQ(encoders.calls, std::vector{Format::Jpeg});
  EXPECT_EQ(encoders.params[0].jpegQuality, 55);
  EXPECT_EQ(encoders.params[0].tiffDepth, 24);
  EXPECT_EQ(encoders.params[0].tiffCompression, 6);
  EXPECT_EQ(log, (Log{"Pointer 11", "Pointer 0"}));
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.jpg"});  // no temporary file left
}

TEST_F(WriteFile, ChoosesTheFormatByExtensionAlone) {
  ASSERT_TRUE(put("x.gif", "tif"));  // the extension argument decides, not the name
  ASSERT_TRUE(put("y", "Png"));
  ASSERT_TRUE(put("z.bmp", "BMP"));
  ASSERT_TRUE(put("w.jpeg", "jpeg"));
  ASSERT_TRUE(put("v.gif", "gif"));
  EXPECT_EQ(encoders.calls, (std::vector{Format::Tiff, Format::Png, Format::Bmp, Format::Jpeg, Format::Gif}));
  EXPECT_EQ(dir.read("x.gif"), "FAKE4:4x3");
}

TEST_F(WriteFile, RefusesAnUnknownExtensionWithErrorNine) {
  EXPECT_FALSE(put("a.webp", "webp"));
  EXPECT_TRUE(encoders.calls.empty());
  EXPECT_FALSE(dir.exists("a.webp"));
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].first, "错误");
  const std::string prefix = "在保存图片的过程中发生错误:\r\n\r\n错误号: 9\r\n错误描述: ";
  ASSERT_EQ(message().rfind(prefix, 0), 0u) << message();
  EXPECT_NE(message().find("\"webp\""), std::string::npos);
  // The pointer is back before the box shows.
  EXPECT_EQ(log, (Log{"Pointer 11", "Pointer 0", "MessageBox 错误"}));
}

TEST_F(WriteFile, ReportsAnEmptyPictureInsteadOfWritingNothingSilently) {
  pic = Image();
  EXPECT_FALSE(put("a.png", "png"));
  EXPECT_TRUE(encoders.calls.empty());
  EXPECT_NE(message().find("错误号: 1000\r\n"), std::string::npos);
  EXPECT_EQ(pointer.shape(), platform::kPointerDefault);
}

TEST_F(WriteFile, ReportsAnEncoderFailureWithItsCodeAndThePath) {
  encoders.failWith = platform::EncodeResult{{}, platform::Failure{1003, "libpng said no"}};
  dir.write("a.png", "old");
  EXPECT_FALSE(put("a.png", "png"));
  EXPECT_NE(message().find("错误号: 1003\r\n"), std::string::npos) << message();
  EXPECT_NE(message().find("libpng said no"), std::string::npos);
  EXPECT_NE(message().find(dir.path("a.png")), std::string::npos);
  EXPECT_EQ(dir.read("a.png"), "old");
  EXPECT_EQ(log.back(), "MessageBox 错误");
  EXPECT_EQ(pointer.shape(), platform::kPointerDefault);
}

TEST_F(WriteFile, ReportsAMissingFolderWithErrnoAndPath) {
  const std::string path = dir.path("missing/a.png");
  EXPECT_FALSE(save.writeFile(pic, path, "png", 80, 24, 6));
  EXPECT_NE(message().find("错误号: " + std::to_string(ENOENT) + "\r\n"), std::string::npos) << message();
  EXPECT_NE(message().find(path), std::string::npos);
  EXPECT_FALSE(dir.exists("missing"));
  EXPECT_EQ(log, (Log{"Pointer 11", "Pointer 0", "MessageBox 错误"}));
}

TEST_F(WriteFile, ReportsAFileInPlaceOfTheFolder) {
  dir.write("plain", "x");
  EXPECT_FALSE(save.writeFile(pic, dir.path("plain/a.bmp"), "bmp", 80, 24, 6));
  EXPECT_NE(message().find("错误号: " + std::to_string(ENOTDIR) + "\r\n"), std::string::npos) << message();
  EXPECT_EQ(dir.read("plain"), "x");
}

TEST_F(WriteFile, ReportsAFullDiskAndLeavesTheOldFileAndNoTemporary) {
  dir.write("a.png", "the old picture");
  int calls = 0;
  save.fileOps().write = [&](int fd, const void* data, std::size_t size) -> ssize_t {
    if (++calls == 1) return ::write(fd, data, size / 2);  // a part goes to disk first
    errno = ENOSPC;
    return -1;
  };
  EXPECT_FALSE(put("a.png", "png"));
  EXPECT_EQ(calls, 2);
  EXPECT_NE(message().find("错误号: " + std::to_string(ENOSPC) + "\r\n"), std::string::npos) << message();
  EXPECT_NE(message().find(dir.path("a.png")), std::string::npos);
  EXPECT_EQ(dir.read("a.png"), "the old picture");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.png"});
  EXPECT_EQ(pointer.shape(), platform::kPointerDefault);
}

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

// --- save targets: links, permissions, leftovers ---

namespace fs = std::filesystem;

const std::string kNew = "the new picture";

// The names in a folder, sorted.
std::vector<std::string> names(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

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

void PrintTo(const SaveTarget& t, std::ostream* out) { *out << t.name; }

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
