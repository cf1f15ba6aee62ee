#include "platform/wayland/toplevel_activation.h"

#include <wayland-client.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "wlr-foreign-toplevel-management-unstable-v1-client.h"

namespace tolvane::platform::wayland {

namespace {

struct Toplevel {
  zwlr_foreign_toplevel_handle_v1* handle = nullptr;
  std::string title, appId;
  bool activated = false;
};

struct Listing {
  wl_seat* seat = nullptr;
  zwlr_foreign_toplevel_manager_v1* manager = nullptr;
  std::vector<Toplevel> toplevels;
  Toplevel* find(zwlr_foreign_toplevel_handle_v1* h) {
    for (Toplevel& t : toplevels)
      if (t.handle == h) return &t;
    return nullptr;
  }
};

Listing& listingOf(void* data) { return *static_cast<Listing*>(data); }

void title(void* data, zwlr_foreign_toplevel_handle_v1* h, const char* text) {
  if (Toplevel* t = listingOf(data).find(h)) t->title = text ? text : "";
}
void appId(void* data, zwlr_foreign_toplevel_handle_v1* h, const char* text) {
  if (Toplevel* t = listingOf(data).find(h)) t->appId = text ? text : "";
}
void outputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void outputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void state(void* data, zwlr_foreign_toplevel_handle_v1* h, wl_array* states) {
  Toplevel* t = listingOf(data).find(h);
  if (!t) return;
  t->activated = false;
  const auto* s = static_cast<const std::uint32_t*>(states->data);
  for (std::size_t i = 0; i < states->size / sizeof(std::uint32_t); ++i)
    if (s[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED) t->activated = true;
}
void done(void*, zwlr_foreign_toplevel_handle_v1*) {}
void closed(void*, zwlr_foreign_toplevel_handle_v1*) {}
void parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}
const zwlr_foreign_toplevel_handle_v1_listener kHandleListener = {title, appId, outputEnter, outputLeave,
                                                                  state, done,  closed,      parent};

void toplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* h) {
  listingOf(data).toplevels.push_back({h, {}, {}, false});
  zwlr_foreign_toplevel_handle_v1_add_listener(h, &kHandleListener, data);
}
void finished(void*, zwlr_foreign_toplevel_manager_v1*) {}
const zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {toplevel, finished};

void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
  Listing& l = listingOf(data);
  if (!l.seat && std::strcmp(interface, wl_seat_interface.name) == 0)
    l.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  if (!l.manager && std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0)
    l.manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_foreign_toplevel_manager_v1_interface, 1));
}
void globalRemoved(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener kRegistryListener = {global, globalRemoved};

// What the listing says of the window, and the activation asked for.
Activation activateIn(wl_display* d, Listing& l, const std::string& appId, const std::string& title) {
  if (wl_display_roundtrip(d) < 0 || !l.seat || !l.manager) return Activation::Unsupported;
  zwlr_foreign_toplevel_manager_v1_add_listener(l.manager, &kManagerListener, &l);
  // Every window and its details come at once.
  if (wl_display_roundtrip(d) < 0) return Activation::Unsupported;
  const Toplevel* newest = nullptr;
  for (const Toplevel& t : l.toplevels)
    if (t.title == title && t.appId == appId) newest = &t;
  if (!newest) return Activation::NotShownYet;
  if (!newest->activated) zwlr_foreign_toplevel_handle_v1_activate(newest->handle, l.seat);
  return wl_display_roundtrip(d) < 0 ? Activation::Unsupported : Activation::Requested;
}

}  // namespace

Activation activateToplevel(const std::string& appId, const std::string& title) {
  wl_display* d = wl_display_connect(nullptr);
  if (!d) return Activation::Unsupported;
  Listing l;
  wl_registry* registry = wl_display_get_registry(d);
  wl_registry_add_listener(registry, &kRegistryListener, &l);
  const Activation result = activateIn(d, l, appId, title);
  for (const Toplevel& t : l.toplevels) zwlr_foreign_toplevel_handle_v1_destroy(t.handle);
  if (l.manager) zwlr_foreign_toplevel_manager_v1_destroy(l.manager);
  if (l.seat) wl_seat_destroy(l.seat);
  wl_registry_destroy(registry);
  wl_display_disconnect(d);
  return result;
}

}  // namespace tolvane::platform::wayland
