#include "platform/wayland/start_up_surfaces.h"

#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/wayland/early_gesture.h"
#include "wlr-layer-shell-unstable-v1-client.h"

namespace tolvane::platform::wayland {

namespace {

constexpr auto kPatience = std::chrono::seconds(2);

// One output's surface and the copy it shows.
struct Shown {
  StartUpSurfaces::State* state = nullptr;
  std::size_t index = 0;
  OutputBuffer buffer;
  wl_output* output = nullptr;
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layer = nullptr;
};

}  // namespace

struct StartUpSurfaces::State {
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_compositor* compositor = nullptr;
  zwlr_layer_shell_v1* shell = nullptr;
  wl_seat* seat = nullptr;
  wl_pointer* pointer = nullptr;
  wl_keyboard* keyboard = nullptr;
  std::vector<std::unique_ptr<Shown>> shown;
  SurfaceGesture gesture;

  // The surface of ours that `s` is, by index; shown.size() when none.
  std::size_t indexOf(const wl_surface* s) const {
    if (!s) return shown.size();  // one of ours already destroyed
    for (const auto& o : shown)
      if (o->surface == s) return o->index;
    return shown.size();
  }
  void destroySurfaces();
  ~State();
};

namespace {

void global(void* d, wl_registry* r, uint32_t name, const char* interface, uint32_t version) {
  auto* s = static_cast<StartUpSurfaces::State*>(d);
  if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
    s->compositor = static_cast<wl_compositor*>(wl_registry_bind(r, name, &wl_compositor_interface, std::min(version, 4u)));
  } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
    s->shell = static_cast<zwlr_layer_shell_v1*>(
        wl_registry_bind(r, name, &zwlr_layer_shell_v1_interface, std::min(version, 3u)));
  } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !s->seat) {
    s->seat = static_cast<wl_seat*>(wl_registry_bind(r, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
    for (auto& o : s->shown)
      if (o->buffer.output == name) o->output = static_cast<wl_output*>(wl_registry_bind(r, name, &wl_output_interface, 1));
  }
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {global, globalRemove};

// The pointer: where it is over our surfaces, and its buttons.
void pointerEnter(void* d, wl_pointer*, uint32_t, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
  auto* s = static_cast<StartUpSurfaces::State*>(d);
  s->gesture.enter(s->indexOf(surface), wl_fixed_to_double(x), wl_fixed_to_double(y));
}
void pointerLeave(void* d, wl_pointer*, uint32_t, wl_surface*) { static_cast<StartUpSurfaces::State*>(d)->gesture.leave(); }
void pointerMotion(void* d, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
  static_cast<StartUpSurfaces::State*>(d)->gesture.motion(wl_fixed_to_double(x), wl_fixed_to_double(y));
}
void pointerButton(void* d, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state) {
  static_cast<StartUpSurfaces::State*>(d)->gesture.button(button, state == WL_POINTER_BUTTON_STATE_PRESSED);
}
void pointerAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
const wl_pointer_listener kPointerListener = {pointerEnter, pointerLeave, pointerMotion, pointerButton, pointerAxis,
                                             nullptr,      nullptr,      nullptr,       nullptr,       nullptr};

// The keyboard: Esc is all that counts; the keymap is not needed for it.
void keyboardKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); }
void keyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void keyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void keyboardKey(void* d, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
  static_cast<StartUpSurfaces::State*>(d)->gesture.key(key, state == WL_KEYBOARD_KEY_STATE_PRESSED);
}
void keyboardModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
const wl_keyboard_listener kKeyboardListener = {keyboardKeymap, keyboardEnter,     keyboardLeave,
                                               keyboardKey,    keyboardModifiers, nullptr};

void seatCapabilities(void* d, wl_seat* seat, uint32_t caps) {
  auto* s = static_cast<StartUpSurfaces::State*>(d);
  if ((caps & WL_SEAT_CAPABILITY_POINTER) && !s->pointer) {
    s->pointer = wl_seat_get_pointer(seat);
    wl_pointer_add_listener(s->pointer, &kPointerListener, s);
  }
  if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !s->keyboard) {
    s->keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(s->keyboard, &kKeyboardListener, s);
  }
}
const wl_seat_listener kSeatListener = {seatCapabilities, nullptr};

// The compositor gave the surface its size: the veiled copy goes on it,
// at the output's scale when the copy divides by it.
void layerConfigure(void* d, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t w, uint32_t h) {
  auto* o = static_cast<Shown*>(d);
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  o->state->gesture.configure(o->index, static_cast<int>(w), static_cast<int>(h));
  const OutputBuffer& b = o->buffer;
  const int scale = b.width % b.scale == 0 && b.height % b.scale == 0 ? b.scale : 1;
  wl_surface_set_buffer_scale(o->surface, scale);
  wl_surface_attach(o->surface, b.buffer, 0, 0);
  wl_surface_damage(o->surface, 0, 0, b.width, b.height);
  wl_surface_commit(o->surface);
}
void layerClosed(void*, zwlr_layer_surface_v1*) {}
const zwlr_layer_surface_v1_listener kLayerListener = {layerConfigure, layerClosed};

// A layer surface over the whole output, above full-screen windows, with the
// keyboard; committed without a buffer, as the protocol wants first.
void makeSurface(StartUpSurfaces::State& s, Shown& o) {
  o.surface = wl_compositor_create_surface(s.compositor);
  o.layer = zwlr_layer_shell_v1_get_layer_surface(s.shell, o.surface, o.output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY,
                                                  "tolvane");
  zwlr_layer_surface_v1_add_listener(o.layer, &kLayerListener, &o);
  zwlr_layer_surface_v1_set_anchor(o.layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  zwlr_layer_surface_v1_set_exclusive_zone(o.layer, -1);
  zwlr_layer_surface_v1_set_keyboard_interactivity(o.layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
  wl_surface_commit(o.surface);
}

}  // namespace

void StartUpSurfaces::State::destroySurfaces() {
  for (auto& o : shown) {
    if (o->layer) zwlr_layer_surface_v1_destroy(o->layer);
    if (o->surface) wl_surface_destroy(o->surface);
    o->layer = nullptr;
    o->surface = nullptr;
  }
}

StartUpSurfaces::State::~State() {
  destroySurfaces();
  for (auto& o : shown) {
    releaseBuffer(o->buffer);
    if (o->output) wl_output_destroy(o->output);
  }
  if (pointer) wl_pointer_destroy(pointer);
  if (keyboard) wl_keyboard_destroy(keyboard);
  if (seat) wl_seat_destroy(seat);
  if (shell) zwlr_layer_shell_v1_destroy(shell);
  if (compositor) wl_compositor_destroy(compositor);
  if (registry) wl_registry_destroy(registry);
  if (display) wl_display_disconnect(display);
}

StartUpSurfaces::StartUpSurfaces(std::unique_ptr<State> s) : s_(std::move(s)) {}
StartUpSurfaces::~StartUpSurfaces() = default;

std::unique_ptr<StartUpSurfaces> StartUpSurfaces::show(WaylandScreen::Kept kept, Argb veil) {
  auto s = std::make_unique<State>();
  s->display = kept.display;
  std::vector<SurfaceGesture::Surface> areas;
  for (OutputBuffer& b : kept.buffers) {
    auto o = std::make_unique<Shown>();
    o->state = s.get();
    o->index = s->shown.size();
    o->buffer = std::exchange(b, OutputBuffer{});
    areas.push_back({o->buffer.area, 0, 0});
    s->shown.push_back(std::move(o));
  }
  s->gesture = SurfaceGesture(std::move(areas));
  if (!s->display) return nullptr;
  s->registry = wl_display_get_registry(s->display);
  wl_registry_add_listener(s->registry, &kRegistryListener, s.get());
  if (!roundtripWithin(s->display, kPatience) || !s->compositor || !s->shell) return nullptr;
  if (s->seat) wl_seat_add_listener(s->seat, &kSeatListener, s.get());
  for (auto& o : s->shown) makeSurface(*s, *o);
  wl_display_flush(s->display);
  // The compositor answers with the surfaces' sizes meanwhile.
  for (auto& o : s->shown) {
    const OutputBuffer& b = o->buffer;
    veilInPlace(static_cast<std::uint8_t*>(b.data), b.width, b.height, b.stride, b.yInvert, veil);
  }
  if (!roundtripWithin(s->display, kPatience)) return nullptr;
  wl_display_flush(s->display);
  return std::unique_ptr<StartUpSurfaces>(new StartUpSurfaces(std::move(s)));
}

EarlyInput StartUpSurfaces::close() {
  if (!s_) return {};
  // The events so far are read while the surfaces still stand, so that each
  // names its surface; then a round trip after they go, so that every event
  // from before has arrived.
  roundtripWithin(s_->display, kPatience);
  s_->destroySurfaces();
  roundtripWithin(s_->display, kPatience);
  const EarlyInput early = s_->gesture.input();
  s_.reset();
  return early;
}

}  // namespace tolvane::platform::wayland
