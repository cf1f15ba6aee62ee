#include "platform/wayland/start_up_surfaces.h"

#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/wayland/early_gesture.h"
#include "wlr-layer-shell-unstable-v1-client.h"
#include "xdg-shell-client.h"

namespace tolvane::platform::wayland {

namespace {

constexpr auto kPatience = std::chrono::seconds(2);
// How long a window mapped by its copy waits for the compositor to make it
// full screen: sway sends that configure at once, and shows the window only
// once it is answered.
constexpr auto kMapPatience = std::chrono::milliseconds(100);

// One output's surface and the copy it shows.
struct Shown {
  StartUpSurfaces::State* state = nullptr;
  std::size_t index = 0;
  wl_output* output = nullptr;
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layer = nullptr;  // with a layer shell
  xdg_surface* window = nullptr;           // else an xdg toplevel
  xdg_toplevel* toplevel = nullptr;
  int width = 0, height = 0;  // the size the compositor gave the surface
  bool configured = false, attached = false;
  bool answeredSinceShown = false;  // a configure came after the copy went on
  OutputBuffer buffer;
};

}  // namespace

struct StartUpSurfaces::State {
  Argb veil = 0;
  wl_display* display = nullptr;  // the read's connection; ours once the copies are shown
  bool ownsDisplay = false, shown = false;
  wl_compositor* compositor = nullptr;
  zwlr_layer_shell_v1* shell = nullptr;
  xdg_wm_base* windows = nullptr;
  wl_seat* seat = nullptr;
  wl_pointer* pointer = nullptr;
  wl_keyboard* keyboard = nullptr;
  std::vector<std::pair<std::uint32_t, wl_output*>> outputs;  // by global name
  std::vector<std::unique_ptr<Shown>> surfaces;
  SurfaceGesture gesture;

  // The surface of ours that `s` is, by index; surfaces.size() when none.
  std::size_t indexOf(const wl_surface* s) const {
    if (!s) return surfaces.size();  // one of ours already destroyed
    for (const auto& o : surfaces)
      if (o->surface == s) return o->index;
    return surfaces.size();
  }
  void destroySurfaces();
  void releaseAll();
  ~State() { releaseAll(); }
};

namespace {

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

// The veiled copy goes on the surface once the compositor has configured it
// and the copy is in, at the output's scale when the copy divides by it;
// every configure after is answered with a commit of the same.
void present(Shown& o) {
  if (!o.configured || !o.buffer.buffer) return;
  o.state->gesture.configure(o.index, o.width, o.height);
  if (!o.attached) {
    const OutputBuffer& b = o.buffer;
    const int scale = b.width % b.scale == 0 && b.height % b.scale == 0 ? b.scale : 1;
    wl_surface_set_buffer_scale(o.surface, scale);
    wl_surface_attach(o.surface, b.buffer, 0, 0);
    wl_surface_damage(o.surface, 0, 0, b.width, b.height);
    o.attached = true;
  }
  wl_surface_commit(o.surface);
}

void layerConfigure(void* d, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t w, uint32_t h) {
  auto* o = static_cast<Shown*>(d);
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  o->width = static_cast<int>(w);
  o->height = static_cast<int>(h);
  o->configured = true;
  present(*o);
}
void layerClosed(void*, zwlr_layer_surface_v1*) {}
const zwlr_layer_surface_v1_listener kLayerListener = {layerConfigure, layerClosed};

// The xdg toplevel's size comes first, then the configure to acknowledge.
void toplevelConfigure(void* d, xdg_toplevel*, int32_t w, int32_t h, wl_array*) {
  auto* o = static_cast<Shown*>(d);
  if (w > 0 && h > 0) {
    o->width = w;
    o->height = h;
  }
}
void toplevelClose(void*, xdg_toplevel*) {}
const xdg_toplevel_listener kToplevelListener = {toplevelConfigure, toplevelClose, nullptr, nullptr};
void windowConfigure(void* d, xdg_surface* window, uint32_t serial) {
  auto* o = static_cast<Shown*>(d);
  xdg_surface_ack_configure(window, serial);
  o->configured = true;
  o->answeredSinceShown = o->attached;
  present(*o);
}
const xdg_surface_listener kWindowListener = {windowConfigure};
void ping(void*, xdg_wm_base* windows, uint32_t serial) { xdg_wm_base_pong(windows, serial); }
const xdg_wm_base_listener kWindowsListener = {ping};

// A layer surface over the whole output, above full-screen windows, with the
// keyboard; committed without a buffer, as the protocol wants first.
void makeLayerSurface(StartUpSurfaces::State& s, Shown& o) {
  o.layer = zwlr_layer_shell_v1_get_layer_surface(s.shell, o.surface, o.output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY,
                                                  "tolvane");
  zwlr_layer_surface_v1_add_listener(o.layer, &kLayerListener, &o);
  zwlr_layer_surface_v1_set_anchor(o.layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  zwlr_layer_surface_v1_set_exclusive_zone(o.layer, -1);
  zwlr_layer_surface_v1_set_keyboard_interactivity(o.layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
}

// Without a layer shell: a window asked to be full screen on the output; a
// new window gets the keyboard as any does.
void makeWindow(StartUpSurfaces::State& s, Shown& o) {
  o.window = xdg_wm_base_get_xdg_surface(s.windows, o.surface);
  xdg_surface_add_listener(o.window, &kWindowListener, &o);
  o.toplevel = xdg_surface_get_toplevel(o.window);
  xdg_toplevel_add_listener(o.toplevel, &kToplevelListener, &o);
  xdg_toplevel_set_app_id(o.toplevel, "tolvane");
  xdg_toplevel_set_fullscreen(o.toplevel, o.output);
}

}  // namespace

void StartUpSurfaces::State::destroySurfaces() {
  for (auto& o : surfaces) {
    if (o->layer) zwlr_layer_surface_v1_destroy(o->layer);
    if (o->toplevel) xdg_toplevel_destroy(o->toplevel);
    if (o->window) xdg_surface_destroy(o->window);
    if (o->surface) wl_surface_destroy(o->surface);
    o->layer = nullptr;
    o->toplevel = nullptr;
    o->window = nullptr;
    o->surface = nullptr;
  }
}

void StartUpSurfaces::State::releaseAll() {
  destroySurfaces();
  for (auto& o : surfaces) releaseBuffer(o->buffer);
  surfaces.clear();
  for (auto& [name, output] : outputs) wl_output_destroy(output);
  outputs.clear();
  if (pointer) wl_pointer_destroy(pointer);
  if (keyboard) wl_keyboard_destroy(keyboard);
  if (seat) wl_seat_destroy(seat);
  if (shell) zwlr_layer_shell_v1_destroy(shell);
  if (windows) xdg_wm_base_destroy(windows);
  if (compositor) wl_compositor_destroy(compositor);
  pointer = nullptr;
  keyboard = nullptr;
  seat = nullptr;
  shell = nullptr;
  windows = nullptr;
  compositor = nullptr;
  if (display && ownsDisplay) wl_display_disconnect(display);
  display = nullptr;
  shown = false;
}

StartUpSurfaces::StartUpSurfaces(Argb veil) : s_(std::make_unique<State>()) { s_->veil = veil; }
StartUpSurfaces::~StartUpSurfaces() = default;

bool StartUpSurfaces::shown() const { return s_ && s_->shown; }

Argb StartUpSurfaces::veil() const { return s_->veil; }

void StartUpSurfaces::global(wl_registry* r, std::uint32_t name, const char* interface, std::uint32_t version) {
  State& s = *s_;
  if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
    s.compositor = static_cast<wl_compositor*>(wl_registry_bind(r, name, &wl_compositor_interface, std::min(version, 4u)));
  } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
    s.shell = static_cast<zwlr_layer_shell_v1*>(
        wl_registry_bind(r, name, &zwlr_layer_shell_v1_interface, std::min(version, 3u)));
  } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
    s.windows = static_cast<xdg_wm_base*>(wl_registry_bind(r, name, &xdg_wm_base_interface, 1));
    xdg_wm_base_add_listener(s.windows, &kWindowsListener, &s);
  } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !s.seat) {
    s.seat = static_cast<wl_seat*>(wl_registry_bind(r, name, &wl_seat_interface, 1));
    wl_seat_add_listener(s.seat, &kSeatListener, &s);
  } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
    s.outputs.emplace_back(name, static_cast<wl_output*>(wl_registry_bind(r, name, &wl_output_interface, 1)));
  }
}

// The surfaces are asked for while the compositor copies, so that they are
// configured by the time the copies come.
void StartUpSurfaces::copiesAsked(wl_display* display, const std::vector<std::uint32_t>& outputs) {
  State& s = *s_;
  s.display = display;
  if (!s.compositor || (!s.shell && !s.windows)) return;
  for (const std::uint32_t name : outputs) {
    auto o = std::make_unique<Shown>();
    o->state = &s;
    o->index = s.surfaces.size();
    for (auto& [n, output] : s.outputs)
      if (n == name) o->output = output;
    o->surface = wl_compositor_create_surface(s.compositor);
    if (s.shell) makeLayerSurface(s, *o);
    else makeWindow(s, *o);
    wl_surface_commit(o->surface);
    s.surfaces.push_back(std::move(o));
  }
}

void StartUpSurfaces::show(std::vector<OutputBuffer> buffers) {
  State& s = *s_;
  s.ownsDisplay = true;
  std::vector<SurfaceGesture::Surface> areas;
  for (std::size_t i = 0; i < buffers.size(); ++i) {
    areas.push_back({buffers[i].area, 0, 0});
    if (i < s.surfaces.size()) s.surfaces[i]->buffer = std::exchange(buffers[i], OutputBuffer{});
    else releaseBuffer(buffers[i]);
  }
  s.gesture = SurfaceGesture(std::move(areas));
  if (s.surfaces.size() != buffers.size()) return;
  for (auto& o : s.surfaces) present(*o);
  const auto all = [&s](bool Shown::*flag) {
    return std::all_of(s.surfaces.begin(), s.surfaces.end(), [flag](const auto& o) { return (*o).*flag; });
  };
  if (!all(&Shown::attached) && !roundtripWithin(s.display, kPatience)) return;
  // A window is mapped by its first buffer and configured full screen then:
  // that configure is answered now, or the compositor would wait for it.
  if (!s.shell) {
    const auto end = std::chrono::steady_clock::now() + kMapPatience;
    while (!all(&Shown::answeredSinceShown) && dispatchWithin(s.display, end)) {
    }
  }
  wl_display_flush(s.display);
  s.shown = all(&Shown::attached);
}

void StartUpSurfaces::abandon() { s_->releaseAll(); }

EarlyInput StartUpSurfaces::close() {
  if (!s_ || !s_->display) return {};
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
