// The capture window shows the frozen picture without a second screen-sized
// buffer: Qt's buffer for the window (shared memory with the X server) is
// written only where controls lie.
#include <fstream>
#include <sstream>

#include "fixture.h"

namespace tolvane::e2e {
namespace {

// A line of /proc/PID/status in bytes; -1 when it cannot be read.
long long statusBytes(pid_t pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(field + ":", 0) == 0) {
      std::istringstream words(line.substr(field.size() + 1));
      long long kib = -1;
      words >> kib;
      return kib * 1024;
    }
  return -1;
}

class Memory : public E2E {
 protected:
  std::pair<int, int> screenSize() const override { return {1920, 1080}; }
};

TEST_F(Memory, TheWindowHoldsNoSecondCopyOfTheScreen) {
  auto p = start();
  ASSERT_TRUE(waitForVeil(*p)) << p->stderrText();
  x().drag(300, 200, 700, 500);
  ASSERT_TRUE(waitUntil([&] { return at(500, 350) == picture().pixel(500, 350); }, kPatience));
  const long long screenBytes = 1920LL * 1080 * 4;
  const long long shared = statusBytes(p->pid(), "RssShmem");
  ASSERT_GE(shared, 0);
  // Under the region's rows (its frame, labels and toolbar): a fraction of
  // the screen, where a backing store painted whole holds all of it.
  EXPECT_LT(shared, screenBytes / 2) << "shared memory " << shared << " bytes";
  x().key("Escape");
  EXPECT_EQ(p->wait(kPatience), 0);
}

}  // namespace
}  // namespace tolvane::e2e
