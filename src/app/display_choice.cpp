#include "app/display_choice.h"

#include <cstdlib>
#include <string_view>

namespace tolvane::app {

bool wantsWayland(const char* waylandDisplay, const char* qtPlatform) {
  if (!waylandDisplay || !*waylandDisplay) return false;
  const std::string_view qpa = qtPlatform ? qtPlatform : "";
  return !qpa.starts_with("offscreen") && !qpa.starts_with("minimal");
}

bool desktopRouteForced(const char* screenRoute) {
  const std::string_view route = screenRoute ? screenRoute : "";
  return route == "portal" || route == "kwin";
}

std::vector<DesktopRoute> desktopRoutes(const char* screenRoute, bool kwinOnBus) {
  const std::string_view route = screenRoute ? screenRoute : "";
  if (route == "portal") return {DesktopRoute::Portal};
  if (route == "kwin") return {DesktopRoute::KWin};
  if (kwinOnBus) return {DesktopRoute::KWin, DesktopRoute::Portal};
  return {DesktopRoute::Portal};
}

std::unique_ptr<platform::wayland::WaylandScreen> chooseWayland() {
  if (!wantsWayland(std::getenv("WAYLAND_DISPLAY"), std::getenv("QT_QPA_PLATFORM"))) return nullptr;
  auto screen = platform::wayland::WaylandScreen::connect();
  if (screen) setenv("QT_QPA_PLATFORM", "wayland", 1);
  return screen;
}

}  // namespace tolvane::app
