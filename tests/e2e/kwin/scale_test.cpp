// An output at scale 2 on KWin: the frozen picture is the output's device
// pixels, so a region dragged in logical pixels copies twice its size, to
// the pixel, on both routes.
#include <gtest/gtest.h>

#include "kwin_fixture.h"

namespace tolvane::e2e {
namespace {

using KWinScaleTwo = KWinSession<1, 2>;

TEST_F(KWinScaleTwo, BothRoutesCopyTheOutputsDevicePixels) {
  for (const char* route : {"kwin", "portal"}) {
    SCOPED_TRACE(route);
    copyOneWay(ways().front(), kW / 2 - 1, kH / 2 - 1, {{"TOLVANE_SCREEN_ROUTE", route}});
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace tolvane::e2e
