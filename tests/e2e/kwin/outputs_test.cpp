// Two outputs side by side on KWin: both routes freeze the top-left output
// alone, as the one capture window covers it, and copy from it to the pixel.
#include <gtest/gtest.h>

#include "kwin_fixture.h"

namespace tolvane::e2e {
namespace {

using KWinTwoOutputs = KWinSession<2>;

// The pointer starts on the second output: KWin's picture and the portal's
// are cut to the first, where it is not.
TEST_F(KWinTwoOutputs, BothRoutesFreezeTheFirstOutput) {
  for (const char* route : {"kwin", "portal"}) {
    SCOPED_TRACE(route);
    copyOneWay(ways().front(), kW + kW / 2, kH / 2, {{"TOLVANE_SCREEN_ROUTE", route}});
    if (HasFailure()) return;
  }
  EXPECT_TRUE(leftInPictures().empty());
}

}  // namespace
}  // namespace tolvane::e2e
