// What every program the tests start gets from the harness: a session bus of
// the test's own, live, and not the one the tests themselves were given.
#include <gtest/gtest.h>

#include <cstdlib>

#include "harness.h"

namespace tolvane::e2e {
namespace {

TEST(Harness, ProgramsGetALiveSessionBusOfTheTestsOwn) {
  const RunResult address = run({"sh", "-c", "printf %s \"$DBUS_SESSION_BUS_ADDRESS\""});
  ASSERT_EQ(address.status, 0);
  EXPECT_FALSE(address.out.empty()) << "no session bus: a program would auto-launch one";
  const char* outer = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  EXPECT_NE(address.out, outer ? outer : "") << "the tests' own bus reached a program under test";
  const RunResult id = run({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                            "/org/freedesktop/DBus", "org.freedesktop.DBus.GetId"});
  EXPECT_EQ(id.status, 0) << id.err;
  // A test's own address wins over the private bus.
  const RunResult given =
      run({"sh", "-c", "printf %s \"$DBUS_SESSION_BUS_ADDRESS\""}, {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/x"}});
  EXPECT_EQ(given.out, "unix:path=/x");
}

TEST(Harness, ProgramsCarryTheRunMark) {
  const RunResult mark = run({"sh", "-c", std::string("printf %s \"$") + kRunMark + "\""});
  EXPECT_EQ(mark.out, TOLVANE_E2E_RUN_ID);
}

}  // namespace
}  // namespace tolvane::e2e
