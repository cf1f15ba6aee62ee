#include "platform/wayland/screencopy.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/wayland/early_gesture.h"
#include "wlr-screencopy-unstable-v1-client.h"
#include "xdg-output-unstable-v1-client.h"

namespace tolvane::platform::wayland {

namespace {

using Deadline = std::chrono::steady_clock::time_point;

// One output: what wl_output says of it, and its copy in flight.
struct Output {
  wl_output* proxy = nullptr;
  zxdg_output_v1* place = nullptr;
  int x = 0, y = 0, scale = 1;
  zwlr_screencopy_frame_v1* frame = nullptr;
  std::uint32_t format = 0, width = 0, height = 0, stride = 0;
  bool formatOk = false, yInvert = false, copying = false, ready = false, failed = false;
  wl_buffer* buffer = nullptr;
  void* data = nullptr;
  std::size_t size = 0;
  struct Globals* globals = nullptr;
  std::uint32_t name = 0;
};

struct Globals {
  wl_shm* shm = nullptr;
  zwlr_screencopy_manager_v1* manager = nullptr;
  std::uint32_t managerVersion = 0;
  zxdg_output_manager_v1* places = nullptr;
  std::vector<std::unique_ptr<Output>> outputs;
  CopyViewer* viewer = nullptr;
};

constexpr std::uint32_t kArgb8888 = 0, kXrgb8888 = 1;  // wl_shm formats

void outputGeometry(void* d, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
                    int32_t) {
  auto* o = static_cast<Output*>(d);
  o->x = x;
  o->y = y;
}
void outputMode(void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {}
void outputDone(void*, wl_output*) {}
void outputScale(void* d, wl_output*, int32_t factor) { static_cast<Output*>(d)->scale = std::max(factor, 1); }
const wl_output_listener kOutputListener = {outputGeometry, outputMode, outputDone, outputScale, nullptr, nullptr};

// The output's place in the layout, where wl_output's own may say 0,0.
void placePosition(void* d, zxdg_output_v1*, int32_t x, int32_t y) {
  auto* o = static_cast<Output*>(d);
  o->x = x;
  o->y = y;
}
void placeSize(void*, zxdg_output_v1*, int32_t, int32_t) {}
void placeDone(void*, zxdg_output_v1*) {}
const zxdg_output_v1_listener kPlaceListener = {placePosition, placeSize, placeDone, nullptr, nullptr};

void global(void* d, wl_registry* r, uint32_t name, const char* interface, uint32_t version) {
  auto* g = static_cast<Globals*>(d);
  if (std::strcmp(interface, wl_shm_interface.name) == 0) {
    g->shm = static_cast<wl_shm*>(wl_registry_bind(r, name, &wl_shm_interface, 1));
  } else if (std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0) {
    g->managerVersion = std::min(version, 3u);
    g->manager = static_cast<zwlr_screencopy_manager_v1*>(
        wl_registry_bind(r, name, &zwlr_screencopy_manager_v1_interface, g->managerVersion));
  } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
    g->places = static_cast<zxdg_output_manager_v1*>(wl_registry_bind(r, name, &zxdg_output_manager_v1_interface, 1));
  } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
    auto o = std::make_unique<Output>();
    o->globals = g;
    o->name = name;
    o->proxy = static_cast<wl_output*>(wl_registry_bind(r, name, &wl_output_interface, std::min(version, 2u)));
    wl_output_add_listener(o->proxy, &kOutputListener, o.get());
    g->outputs.push_back(std::move(o));
  }
  if (g->viewer) g->viewer->global(r, name, interface, version);
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {global, globalRemove};

// A shared-memory buffer of the size the compositor asked for, and the copy.
void startCopy(Output& o) {
  if (o.copying) return;
  o.copying = true;
  if (!o.formatOk || !o.globals->shm) {
    o.failed = true;
    return;
  }
  o.size = static_cast<std::size_t>(o.stride) * o.height;
  const int fd = memfd_create("tolvane-screen", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, static_cast<off_t>(o.size)) != 0) {
    if (fd >= 0) close(fd);
    o.failed = true;
    return;
  }
  o.data = mmap(nullptr, o.size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (o.data == MAP_FAILED) {
    o.data = nullptr;
    close(fd);
    o.failed = true;
    return;
  }
  wl_shm_pool* pool = wl_shm_create_pool(o.globals->shm, fd, static_cast<int32_t>(o.size));
  o.buffer = wl_shm_pool_create_buffer(pool, 0, static_cast<int32_t>(o.width), static_cast<int32_t>(o.height),
                                       static_cast<int32_t>(o.stride), o.format);
  wl_shm_pool_destroy(pool);
  close(fd);
  zwlr_screencopy_frame_v1_copy(o.frame, o.buffer);
}

void frameBuffer(void* d, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t w, uint32_t h, uint32_t stride) {
  auto* o = static_cast<Output*>(d);
  // Of the formats offered, the one our pixels are already in.
  if (o->formatOk || (format != kXrgb8888 && format != kArgb8888) || stride < w * 4) return;
  o->format = format;
  o->width = w;
  o->height = h;
  o->stride = stride;
  o->formatOk = true;
  // Before version 3 there is no buffer_done: the one offer is all there is.
  if (o->globals->managerVersion < 3) startCopy(*o);
}
void frameFlags(void* d, zwlr_screencopy_frame_v1*, uint32_t flags) {
  static_cast<Output*>(d)->yInvert = flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
}
void frameReady(void* d, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {
  static_cast<Output*>(d)->ready = true;
}
void frameFailed(void* d, zwlr_screencopy_frame_v1*) { static_cast<Output*>(d)->failed = true; }
void frameDamage(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void frameDmabuf(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {}
void frameBufferDone(void* d, zwlr_screencopy_frame_v1*) { startCopy(*static_cast<Output*>(d)); }
const zwlr_screencopy_frame_v1_listener kFrameListener = {frameBuffer, frameFlags,  frameReady,     frameFailed,
                                                          frameDamage, frameDmabuf, frameBufferDone};

// The copied pixels as a picture: opaque, top row first.
Image pictureOf(const Output& o) {
  Image img = Image::uninitialized(static_cast<int>(o.width), static_cast<int>(o.height));
  const auto* bytes = static_cast<const std::uint8_t*>(o.data);
  for (int y = 0; y < img.height(); ++y) {
    const int row = o.yInvert ? img.height() - 1 - y : y;
    std::memcpy(img.scanLine(y), bytes + static_cast<std::size_t>(row) * o.stride, o.width * 4u);
    Argb* line = img.scanLine(y);
    for (int x = 0; x < img.width(); ++x) line[x] |= 0xFF000000u;
  }
  return img;
}

void release(Globals& g, wl_registry* registry) {
  for (auto& o : g.outputs) {
    if (o->frame) zwlr_screencopy_frame_v1_destroy(o->frame);
    if (o->buffer) wl_buffer_destroy(o->buffer);
    if (o->data) munmap(o->data, o->size);
    if (o->place) zxdg_output_v1_destroy(o->place);
    wl_output_destroy(o->proxy);
  }
  if (g.manager) zwlr_screencopy_manager_v1_destroy(g.manager);
  if (g.places) zxdg_output_manager_v1_destroy(g.places);
  if (g.shm) wl_shm_destroy(g.shm);
  wl_registry_destroy(registry);
}

bool allSettled(const Globals& g) {
  return std::all_of(g.outputs.begin(), g.outputs.end(), [](const auto& o) { return o->ready || o->failed; });
}

// Handles the compositor's next events, waiting for them until `deadline`.
// False when the connection broke or nothing came in time.
bool dispatchBefore(wl_display* display, Deadline deadline) {
  while (wl_display_prepare_read(display) != 0)
    if (wl_display_dispatch_pending(display) < 0) return false;
  if (wl_display_flush(display) < 0 && errno != EAGAIN) {
    wl_display_cancel_read(display);
    return false;
  }
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  pollfd p{wl_display_get_fd(display), POLLIN, 0};
  if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
    wl_display_cancel_read(display);
    return false;
  }
  return wl_display_read_events(display) >= 0 && wl_display_dispatch_pending(display) >= 0;
}

void syncDone(void* d, wl_callback*, uint32_t) { *static_cast<bool*>(d) = true; }
const wl_callback_listener kSyncListener = {syncDone};

// A round trip: every request so far answered, before `deadline`.
bool roundtripBefore(wl_display* display, Deadline deadline) {
  bool done = false;
  wl_callback* sync = wl_display_sync(display);
  wl_callback_add_listener(sync, &kSyncListener, &done);
  while (!done)
    if (!dispatchBefore(display, deadline)) break;
  wl_callback_destroy(sync);
  return done;
}

ScreenRead failure(std::string why) { return {{}, Failure{kScreenReadFailed, std::move(why)}}; }

// Hands each output's buffer and memory over, so release() leaves them.
std::vector<OutputBuffer> takeBuffers(Globals& g, const std::vector<OutputPlace>& places) {
  std::vector<OutputBuffer> taken;
  for (std::size_t i = 0; i < g.outputs.size(); ++i) {
    Output& o = *g.outputs[i];
    taken.push_back({o.name, o.buffer, o.data, o.size, static_cast<int>(o.width), static_cast<int>(o.height),
                     static_cast<int>(o.stride), o.yInvert, o.scale, places[i].area});
    o.buffer = nullptr;
    o.data = nullptr;
  }
  return taken;
}

// Each output's copy asked for, with its place in the layout: the outputs'
// names.
std::vector<std::uint32_t> askForCopies(Globals& g) {
  std::vector<std::uint32_t> names;
  for (auto& o : g.outputs) {
    if (g.places) {
      o->place = zxdg_output_manager_v1_get_xdg_output(g.places, o->proxy);
      zxdg_output_v1_add_listener(o->place, &kPlaceListener, o.get());
    }
    o->frame = zwlr_screencopy_manager_v1_capture_output(g.manager, 0, o->proxy);
    zwlr_screencopy_frame_v1_add_listener(o->frame, &kFrameListener, o.get());
    names.push_back(o->name);
  }
  return names;
}

// The desktop's picture, black, made while the compositor copies so that its
// memory is in place when the copies come. Empty while a copy's size is unknown.
Image blankDesktop(const Globals& g, std::vector<OutputPlace>& placed) {
  std::vector<OutputExtent> extents;
  for (const auto& o : g.outputs) {
    if (!o->formatOk) return {};
    extents.push_back({o->x, o->y, o->scale, static_cast<int>(o->width), static_cast<int>(o->height)});
  }
  placed = placeOutputs(extents);
  IRect all;
  for (const OutputPlace& p : placed) all = all.united(p.area);
  return all.empty() ? Image() : Image(all.right, all.bottom);
}

// The copies in the desktop's picture, each veiled in its own memory for the
// viewer: in one pass when every copy lies 1:1 in the picture.
void fillDesktop(Globals& g, const std::vector<OutputPlace>& placed, Image& desktop) {
  const std::optional<Argb> veil = g.viewer ? std::optional<Argb>(g.viewer->veil()) : std::nullopt;
  const bool oneToOne = std::equal(g.outputs.begin(), g.outputs.end(), placed.begin(), [](const auto& o, const auto& p) {
    return p.area.width() == static_cast<int>(o->width) && p.area.height() == static_cast<int>(o->height);
  });
  if (oneToOne && !desktop.isNull()) {
    for (std::size_t i = 0; i < g.outputs.size(); ++i) {
      const Output& o = *g.outputs[i];
      takeCopy(static_cast<std::uint8_t*>(o.data), static_cast<int>(o.width), static_cast<int>(o.height),
               static_cast<int>(o.stride), o.yInvert, desktop, placed[i].area.left, placed[i].area.top,
               veil ? &*veil : nullptr);
    }
    return;
  }
  std::vector<OutputShot> shots;
  for (auto& o : g.outputs) shots.push_back({o->x, o->y, o->scale, pictureOf(*o)});
  desktop = combineOutputs(shots);
  if (veil)
    for (auto& o : g.outputs)
      veilInPlace(static_cast<std::uint8_t*>(o->data), static_cast<int>(o->width), static_cast<int>(o->height),
                  static_cast<int>(o->stride), o->yInvert, *veil);
}

ScreenRead copyOutputs(wl_display* display, Globals& g, std::vector<OutputPlace>* places, Deadline deadline) {
  if (!g.manager) {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    return {{},
            Failure{kScreenNoWaylandRoute,
                    std::string("the Wayland compositor") + (desktop && *desktop ? std::string(" (") + desktop + ")" : "") +
                        " offers no wlr-screencopy, the only way Tolvane reads a Wayland desktop so far"}};
  }
  if (g.outputs.empty()) return failure("the Wayland compositor has no output to read");
  const std::vector<std::uint32_t> names = askForCopies(g);
  // The places and the copies' sizes come at once; the copies after the
  // compositor's next frame.
  if (!roundtripBefore(display, deadline)) return failure("the Wayland compositor did not answer");
  wl_display_flush(display);  // the copies' buffers, asked for meanwhile, go before the picture is made
  std::vector<OutputPlace> placed;
  Image desktop = blankDesktop(g, placed);
  while (!allSettled(g))
    if (!dispatchBefore(display, deadline)) return failure("the Wayland compositor did not hand the screen over");
  // The viewer's surfaces only once the copies are in, and asked for before
  // they are veiled, so that the compositor configures them meanwhile. Made
  // while it copies, they had it draw a frame of its own first, and the
  // copies came a frame (16.7 ms at 60 Hz) later.
  if (g.viewer) {
    g.viewer->copiesAsked(display, names);
    wl_display_flush(display);
  }
  for (auto& o : g.outputs)
    if (o->failed) return failure("the Wayland compositor refused to copy an output");
  if (placed.size() != g.outputs.size()) desktop = blankDesktop(g, placed);  // a size came late
  fillDesktop(g, placed, desktop);
  if (g.viewer) g.viewer->show(takeBuffers(g, placed));
  if (places) *places = placed;
  return {std::move(desktop), std::nullopt};
}

}  // namespace

ScreenRead readDesktop(wl_display* display, std::vector<OutputPlace>* places, std::chrono::milliseconds patience,
                       CopyViewer* viewer) {
  const Deadline deadline = std::chrono::steady_clock::now() + patience;
  Globals g;
  g.viewer = viewer;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistryListener, &g);
  const ScreenRead read = roundtripBefore(display, deadline) ? copyOutputs(display, g, places, deadline)
                                                             : failure("the Wayland compositor did not answer");
  if (viewer && !read.ok()) viewer->abandon();
  release(g, registry);
  wl_display_flush(display);
  return read;
}

bool dispatchWithin(wl_display* display, std::chrono::steady_clock::time_point deadline) {
  return dispatchBefore(display, deadline);
}

bool roundtripWithin(wl_display* display, std::chrono::milliseconds patience) {
  return roundtripBefore(display, std::chrono::steady_clock::now() + patience);
}

bool compositorAnswers(std::chrono::milliseconds patience) {
  wl_display* d = wl_display_connect(nullptr);
  if (!d) return false;
  const bool answered = roundtripBefore(d, std::chrono::steady_clock::now() + patience);
  wl_display_disconnect(d);
  return answered;
}

std::unique_ptr<WaylandScreen> WaylandScreen::connect() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (!name || !*name) return nullptr;
  wl_display* d = wl_display_connect(nullptr);
  if (!d) return nullptr;
  return std::unique_ptr<WaylandScreen>(new WaylandScreen(d));
}

void releaseBuffer(OutputBuffer& b) {
  if (b.buffer) wl_buffer_destroy(b.buffer);
  if (b.data) munmap(b.data, b.size);
  b.buffer = nullptr;
  b.data = nullptr;
}

WaylandScreen::~WaylandScreen() {
  if (display_) wl_display_disconnect(display_);
}

const ScreenRead& WaylandScreen::readNow(CopyViewer* viewer) {
  if (!read_) {
    read_ = display_ ? readDesktop(display_, &places_, std::chrono::seconds(5), viewer)
                     : failure("no connection to the Wayland compositor");
    // A viewer shown the copies has the connection now.
    if (display_ && !(viewer && read_->ok())) wl_display_disconnect(display_);
    display_ = nullptr;
    width_ = read_->picture.width();
    height_ = read_->picture.height();
  }
  return *read_;
}

// The frozen picture lives as long as its taker needs it, and no longer.
ScreenRead WaylandScreen::grab() {
  if (!readNow().ok()) return *read_;
  ScreenRead out = std::move(*read_);
  read_ = failure("the screen's read was handed over already");
  return out;
}

}  // namespace tolvane::platform::wayland
