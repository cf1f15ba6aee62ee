// -r: the PNG on standard output, written beside the event loop.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "app/raw_output.h"

namespace tolvane {
namespace {

using namespace std::chrono_literals;

// Reads a descriptor to its end on a thread of its own; gives up after 10 s
// without data.
struct Drain {
  explicit Drain(int fd)
      : thread([this, fd] {
          char buf[4096];
          pollfd f{fd, POLLIN, 0};
          while (poll(&f, 1, 10'000) > 0) {
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0) {
              ended = true;
              break;
            }
            bytes.append(buf, static_cast<std::size_t>(n));
          }
          close(fd);
        }) {}
  std::string bytes;
  bool ended = false;
  std::thread thread;
};

std::string picture(std::size_t size) {
  std::string png(size, '\0');
  for (std::size_t i = 0; i < png.size(); ++i) png[i] = static_cast<char>(i * 7 + i / 251);
  return png;
}

TEST(RawPngOutput, WritesOnePictureWholeAndThenEndsTheOutput) {
  int p[2];
  ASSERT_EQ(pipe2(p, O_CLOEXEC), 0);
  const std::string png = picture(300'000);  // more than a pipe holds: written in parts
  Drain reader(p[0]);
  app::RawPngOutput out(p[1]);
  EXPECT_TRUE(out.write(png.data(), png.size()));
  // The reader reached the end although the output object lives on.
  reader.thread.join();
  EXPECT_TRUE(reader.ended);
  EXPECT_EQ(reader.bytes, png);
  EXPECT_TRUE(out.finish());
  EXPECT_FALSE(out.write("more", 4));
  close(p[1]);
}

// Where the PNG goes, and what becomes of it: write() never waits for the
// reader, and a PNG that is not taken whole is told on stderr and fails.
int stuckPipe(std::function<void()>& after);

struct Sink {
  const char* name;
  // Opens the descriptor to write to; `after` runs once write() has returned.
  int (*open)(std::function<void()>& after);
  bool whole;
  const char* told;  // in the stderr line; "" for none
};

int stuckPipe(std::function<void()>& after) {
  int p[2];
  if (pipe2(p, O_CLOEXEC) != 0) return -1;
  after = [reader = p[0]] { close(reader); };  // the reader never reads, and goes at the end
  return p[1];
}

int readerGone(std::function<void()>&) {
  int p[2];
  if (pipe2(p, O_CLOEXEC) != 0) return -1;
  close(p[0]);
  return p[1];
}

int regularFile(std::function<void()>& after) {
  char name[] = "/tmp/tolvane-raw-XXXXXX";
  const int fd = mkstemp(name);
  after = [path = std::string(name)] { unlink(path.c_str()); };
  return fd;
}

int devFull(std::function<void()>&) { return ::open("/dev/full", O_WRONLY | O_CLOEXEC); }

const Sink kSinks[] = {
    {"AFileTakesItWhole", regularFile, true, ""},
    {"AReaderGoneIsEpipeNotSigpipe", readerGone, false, "Broken pipe"},
    {"AFullDeviceIsNoSpace", devFull, false, "No space left on device"},
    {"AReaderThatNeverReadsIsGivenUp", stuckPipe, false, "ended before the reader took it all"},
};

class RawSinks : public ::testing::TestWithParam<Sink> {};

TEST_P(RawSinks, WriteReturnsAtOnceAndAShortPngIsToldAndFails) {
  const Sink& sink = GetParam();
  std::function<void()> after = [] {};
  const int fd = sink.open(after);
  ASSERT_GE(fd, 0);
  const std::string png = picture(900'000);
  testing::internal::CaptureStderr();
  bool whole = false;
  {
    app::RawPngOutput out(fd);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(out.write(png.data(), png.size()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "write() waited for the reader";
    // Ends on its own, but for the reader that never reads: that one is given up.
    if (sink.open != stuckPipe) {
      for (int i = 0; i < 500 && out.busy(); ++i) std::this_thread::sleep_for(10ms);
      EXPECT_FALSE(out.busy());
    }
    whole = out.finish();
  }
  after();
  const std::string told = testing::internal::GetCapturedStderr();
  EXPECT_EQ(whole, sink.whole);
  if (*sink.told) {
    EXPECT_NE(told.find("of the PNG's 900000 bytes"), std::string::npos) << told;
    EXPECT_NE(told.find(sink.told), std::string::npos) << told;
  } else {
    EXPECT_EQ(told, "");
  }
  close(fd);
}

INSTANTIATE_TEST_SUITE_P(Sinks, RawSinks, ::testing::ValuesIn(kSinks),
                         [](const ::testing::TestParamInfo<Sink>& p) { return std::string(p.param.name); });

TEST(RawPngOutput, RefusesAClosedOutputAndATerminal) {
  int p[2];
  ASSERT_EQ(pipe2(p, O_CLOEXEC), 0);
  EXPECT_EQ(app::rawOutputRefusal(p[1]), std::nullopt);
  close(p[0]);
  close(p[1]);
  EXPECT_EQ(app::rawOutputRefusal(p[1]), "-r needs an open standard output");
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(terminal, 0);
  EXPECT_NE(app::rawOutputRefusal(terminal).value_or("").find("terminal"), std::string::npos);
  close(terminal);
  close(master);
}

}  // namespace
}  // namespace tolvane
