#include "app/start_region.h"

namespace tolvane::app {

IRect applyStartRegion(session::CaptureSession& session, const IRect& region, int screenWidth, int screenHeight) {
  const IRect r = region.intersected(IRect{0, 0, screenWidth, screenHeight});
  if (r.empty()) return {};
  session.selectRegion(r);
  return r;
}

}  // namespace tolvane::app
