#include "platform/qt/window_handling.h"

namespace tolvane::platform::qt {

std::unique_ptr<WindowHandling> windowHandlingFor(const QString& qtPlatform, CaptureWindow& window) {
  if (qtPlatform == QLatin1String("xcb")) return x11WindowHandling(window);
  if (qtPlatform == QLatin1String("wayland")) return waylandWindowHandling();
  return std::make_unique<WindowHandling>();
}

}  // namespace tolvane::platform::qt
