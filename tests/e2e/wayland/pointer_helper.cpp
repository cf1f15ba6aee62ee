// A virtual pointer for the Wayland tests: reads "move X Y", "down B" and
// "up B" (B: 1 left, 3 right) from standard input, one per line, and answers
// "ok" on standard output once the compositor has taken each.
// Usage: tolvane_wl_pointer WIDTH HEIGHT (the output's size in pixels).
#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "wlr-virtual-pointer-unstable-v1-client.h"

namespace {

zwlr_virtual_pointer_manager_v1* manager = nullptr;

void global(void*, wl_registry* r, uint32_t name, const char* interface, uint32_t) {
  if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
    manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
        wl_registry_bind(r, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistry = {global, globalRemove};

constexpr uint32_t kBtnLeft = 0x110, kBtnRight = 0x111;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const uint32_t width = static_cast<uint32_t>(std::atoi(argv[1]));
  const uint32_t height = static_cast<uint32_t>(std::atoi(argv[2]));
  wl_display* d = wl_display_connect(nullptr);
  if (!d) return 1;
  wl_registry_add_listener(wl_display_get_registry(d), &kRegistry, nullptr);
  wl_display_roundtrip(d);
  if (!manager) return 1;
  zwlr_virtual_pointer_v1* p = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, nullptr);
  wl_display_roundtrip(d);
  uint32_t time = 1;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string what;
    int a = 0, b = 0;
    in >> what >> a >> b;
    ++time;
    if (what == "move")
      zwlr_virtual_pointer_v1_motion_absolute(p, time, static_cast<uint32_t>(a), static_cast<uint32_t>(b), width,
                                              height);
    else if (what == "down" || what == "up")
      zwlr_virtual_pointer_v1_button(p, time, a == 3 ? kBtnRight : kBtnLeft, what == "down" ? 1 : 0);
    else
      continue;
    zwlr_virtual_pointer_v1_frame(p);
    if (wl_display_roundtrip(d) < 0) return 1;
    std::cout << "ok" << std::endl;
  }
  wl_display_disconnect(d);
  return 0;
}
