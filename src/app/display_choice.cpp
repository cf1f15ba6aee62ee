#include "app/display_choice.h"

#include <cstdlib>
#include <string_view>

namespace tolvane::app {

bool wantsWayland(const char* waylandDisplay, const char* qtPlatform) {
  if (!waylandDisplay || !*waylandDisplay) return false;
  const std::string_view qpa = qtPlatform ? qtPlatform : "";
  return !qpa.starts_with("offscreen") && !qpa.starts_with("minimal");
}

bool portalForced(const char* screenRoute) { return screenRoute && std::string_view(screenRoute) == "portal"; }

std::unique_ptr<platform::wayland::WaylandScreen> chooseWayland() {
  if (!wantsWayland(std::getenv("WAYLAND_DISPLAY"), std::getenv("QT_QPA_PLATFORM"))) return nullptr;
  auto screen = platform::wayland::WaylandScreen::connect();
  if (screen) setenv("QT_QPA_PLATFORM", "wayland", 1);
  return screen;
}

}  // namespace tolvane::app
