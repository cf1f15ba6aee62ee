#include "harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <QImage>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/raster_surface.h"

extern char** environ;

namespace tolvane::e2e {
namespace {

std::vector<std::string> envWith(const std::map<std::string, std::string>& extra) {
  std::map<std::string, std::string> all;
  for (char** e = environ; *e; ++e) {
    const std::string s(*e);
    const auto eq = s.find('=');
    if (eq != std::string::npos) all[s.substr(0, eq)] = s.substr(eq + 1);
  }
  for (const auto& [k, v] : extra) all[k] = v;
  std::vector<std::string> out;
  for (const auto& [k, v] : all) out.push_back(k + "=" + v);
  return out;
}

std::vector<char*> cstrs(std::vector<std::string>& v) {
  std::vector<char*> out;
  for (auto& s : v) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

pid_t spawn(std::vector<std::string> argv, const std::map<std::string, std::string>& env, int in, int out, int err) {
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  if (in >= 0) posix_spawn_file_actions_adddup2(&fa, in, 0);
  if (out >= 0) posix_spawn_file_actions_adddup2(&fa, out, 1);
  if (err >= 0) posix_spawn_file_actions_adddup2(&fa, err, 2);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  auto envs = envWith(env);
  auto a = cstrs(argv);
  auto e = cstrs(envs);
  pid_t pid = -1;
  if (posix_spawnp(&pid, a[0], &fa, &attr, a.data(), e.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&attr);
  return pid;
}

}  // namespace

RunResult run(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env, Millis timeout,
              const std::string& input) {
  RunResult r;
  int inP[2], outP[2], errP[2];
  if (pipe2(inP, O_CLOEXEC) || pipe2(outP, O_CLOEXEC) || pipe2(errP, O_CLOEXEC)) return r;
  const pid_t pid = spawn(argv, env, inP[0], outP[1], errP[1]);
  close(inP[0]);
  close(outP[1]);
  close(errP[1]);
  if (!input.empty()) {
    const ssize_t w = write(inP[1], input.data(), input.size());
    (void)w;
  }
  close(inP[1]);
  if (pid < 0) {
    close(outP[0]);
    close(errP[0]);
    return r;
  }
  // Read both pipes until they close or time runs out.
  const auto end = std::chrono::steady_clock::now() + timeout;
  pollfd fds[2] = {{outP[0], POLLIN, 0}, {errP[0], POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<Millis>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    if (poll(fds, 2, static_cast<int>(left)) <= 0) continue;
    for (auto& f : fds) {
      if (f.fd < 0 || !(f.revents & (POLLIN | POLLHUP))) continue;
      char buf[65536];
      const ssize_t n = read(f.fd, buf, sizeof buf);
      if (n > 0) {
        (f.fd == outP[0] ? r.out : r.err).append(buf, static_cast<std::size_t>(n));
      } else {
        close(f.fd);
        f.fd = -1;
        --open;
      }
    }
  }
  for (auto& f : fds)
    if (f.fd >= 0) close(f.fd);
  int st = 0;
  if (!waitUntil([&] { return waitpid(pid, &st, WNOHANG) == pid; }, std::chrono::duration_cast<Millis>(
                                                                          std::max(end - std::chrono::steady_clock::now(),
                                                                                   std::chrono::steady_clock::duration(Millis(50)))))) {
    kill(-pid, SIGKILL);
    waitpid(pid, &st, 0);
    return r;
  }
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  return r;
}

bool waitUntil(const std::function<bool()>& ready, Millis timeout, Millis every) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (ready()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(every);
  }
}

namespace {

// How the root window stores a pixel: bits per pixel and TrueColor masks.
struct PixelLayout {
  int bitsPerPixel = 0;
  std::uint32_t red = 0, green = 0, blue = 0;
  bool trueColor() const { return red && green && blue && (bitsPerPixel == 16 || bitsPerPixel == 32); }
  int stride(int width) const { return (width * bitsPerPixel + 31) / 32 * 4; }
};

PixelLayout layoutOf(xcb_connection_t* c, xcb_screen_t* s) {
  PixelLayout l;
  for (auto f = xcb_setup_pixmap_formats_iterator(xcb_get_setup(c)); f.rem; xcb_format_next(&f))
    if (f.data->depth == s->root_depth) l.bitsPerPixel = f.data->bits_per_pixel;
  for (auto d = xcb_screen_allowed_depths_iterator(s); d.rem; xcb_depth_next(&d))
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
      if (v.data->visual_id == s->root_visual && v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR) {
        l.red = v.data->red_mask;
        l.green = v.data->green_mask;
        l.blue = v.data->blue_mask;
      }
  return l;
}

int lowBit(std::uint32_t mask) { return __builtin_ctz(mask); }
int bitCount(std::uint32_t mask) { return __builtin_popcount(mask); }

// An 8-bit channel into a mask: its top bits into a narrower one, the bits
// repeated into a wider one; and back the same way.
std::uint32_t packChannel(std::uint32_t v8, std::uint32_t mask) {
  const int bits = bitCount(mask);
  const std::uint32_t v = bits <= 8 ? v8 >> (8 - bits) : (v8 << (bits - 8)) | (v8 >> (16 - bits));
  return (v << lowBit(mask)) & mask;
}
std::uint32_t unpackChannel(std::uint32_t p, std::uint32_t mask) {
  const int bits = bitCount(mask);
  std::uint32_t v = (p & mask) >> lowBit(mask);
  if (bits >= 8) return v >> (bits - 8);
  std::uint32_t out = 0;
  for (int filled = 0; filled < 8; filled += bits) out = (out << bits) | v;
  return (out >> (((8 + bits - 1) / bits) * bits - 8)) & 0xFF;
}

std::uint32_t pack(Argb c, const PixelLayout& l) {
  return packChannel((c >> 16) & 0xFF, l.red) | packChannel((c >> 8) & 0xFF, l.green) | packChannel(c & 0xFF, l.blue);
}
Argb unpack(std::uint32_t p, const PixelLayout& l) {
  return 0xFF000000u | unpackChannel(p, l.red) << 16 | unpackChannel(p, l.green) << 8 | unpackChannel(p, l.blue);
}

std::string textProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type) {
  auto* r = xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, 1024), nullptr);
  std::string out;
  if (r && r->type == type)
    out.assign(static_cast<const char*>(xcb_get_property_value(r)),
               static_cast<std::size_t>(xcb_get_property_value_length(r)));
  free(r);
  return out;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
  free(r);
  return a;
}

std::vector<TopLevel> topLevelsOn(xcb_connection_t* c) {
  std::vector<TopLevel> out;
  xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, s->root), nullptr);
  if (!tree) return out;
  const xcb_atom_t netName = atom(c, "_NET_WM_NAME"), utf8 = atom(c, "UTF8_STRING"), netPid = atom(c, "_NET_WM_PID");
  const xcb_window_t* kids = xcb_query_tree_children(tree);
  for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
    TopLevel t;
    t.id = kids[i];
    if (auto* a = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, kids[i]), nullptr)) {
      t.viewable = a->map_state == XCB_MAP_STATE_VIEWABLE;
      t.overrideRedirect = a->override_redirect;
      free(a);
    }
    t.name = textProperty(c, kids[i], netName, utf8);
    if (t.name.empty()) t.name = textProperty(c, kids[i], XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
    const std::string pid = textProperty(c, kids[i], netPid, XCB_ATOM_CARDINAL);
    if (pid.size() == 4) std::memcpy(&t.pid, pid.data(), 4);
    out.push_back(std::move(t));
  }
  free(tree);
  return out;
}

bool pointerGrabbedOn(xcb_connection_t* c) {
  xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  auto* r = xcb_grab_pointer_reply(c,
                                   xcb_grab_pointer(c, 0, s->root, 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                                    XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
                                   nullptr);
  const bool ours = r && r->status == XCB_GRAB_STATUS_SUCCESS;
  const bool theirs = r && r->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
  free(r);
  if (ours) {
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    xcb_flush(c);
  }
  return theirs;
}

bool keyboardGrabbedOn(xcb_connection_t* c) {
  xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  auto* r = xcb_grab_keyboard_reply(
      c, xcb_grab_keyboard(c, 0, s->root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr);
  const bool ours = r && r->status == XCB_GRAB_STATUS_SUCCESS;
  const bool theirs = r && r->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
  free(r);
  if (ours) {
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_flush(c);
  }
  return theirs;
}

// Runs `f` on a connection of its own to the display; `fallback` when none.
template <class F, class R>
R withConnection(const std::string& display, R fallback, F&& f) {
  xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
  R out = xcb_connection_has_error(c) ? fallback : f(c);
  xcb_disconnect(c);
  return out;
}

}  // namespace

XServer::XServer(int width, int height, int depth) : width_(width), height_(height), depth_(depth) {
  int p[2];
  if (pipe(p)) return;
  fcntl(p[0], F_SETFD, FD_CLOEXEC);
  // -displayfd picks a free display and writes its number; -noreset keeps the
  // root picture when the last client goes.
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
  pid_ = spawn({"Xvfb", "-displayfd", std::to_string(p[1]), "-screen", "0", screen, "-noreset", "-nolisten", "tcp"},
               {}, -1, -1, open("/dev/null", O_WRONLY | O_CLOEXEC));
  close(p[1]);
  pollfd f{p[0], POLLIN, 0};
  std::string num;
  while (pid_ > 0 && poll(&f, 1, 10000) > 0) {
    char c;
    if (read(p[0], &c, 1) != 1 || c == '\n') break;
    num += c;
  }
  close(p[0]);
  if (!num.empty()) display_ = ":" + num;
}

XServer::~XServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int st;
    if (!waitUntil([&] { return waitpid(pid_, &st, WNOHANG) == pid_; }, 3s)) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &st, 0);
    }
  }
}

bool XServer::setRoot(const Image& pic) {
  xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return false;
  }
  xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const PixelLayout layout = layoutOf(c, s);
  if (!layout.trueColor()) {
    xcb_disconnect(c);
    return false;
  }
  const xcb_pixmap_t pm = xcb_generate_id(c);
  xcb_create_pixmap(c, s->root_depth, pm, s->root, static_cast<uint16_t>(pic.width()),
                    static_cast<uint16_t>(pic.height()));
  const xcb_gcontext_t gc = xcb_generate_id(c);
  xcb_create_gc(c, gc, pm, 0, nullptr);
  // Row bands keep each request under the server's size limit.
  const int stride = layout.stride(pic.width());
  const int band = std::max(1, 262144 / std::max(stride, 1));
  std::vector<uint8_t> rows;
  for (int y = 0; y < pic.height(); y += band) {
    const int h = std::min(band, pic.height() - y);
    rows.assign(static_cast<std::size_t>(stride) * h, 0);
    for (int row = 0; row < h; ++row)
      for (int x = 0; x < pic.width(); ++x) {
        const std::uint32_t p = pack(pic.pixel(x, y + row), layout);
        uint8_t* d = rows.data() + static_cast<std::size_t>(row) * stride + x * layout.bitsPerPixel / 8;
        std::memcpy(d, &p, static_cast<std::size_t>(layout.bitsPerPixel / 8));  // the server's own byte order
      }
    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pm, gc, static_cast<uint16_t>(pic.width()), static_cast<uint16_t>(h), 0,
                  static_cast<int16_t>(y), 0, s->root_depth, static_cast<uint32_t>(rows.size()), rows.data());
  }
  xcb_change_window_attributes(c, s->root, XCB_CW_BACK_PIXMAP, &pm);
  xcb_clear_area(c, 0, s->root, 0, 0, 0, 0);
  xcb_free_gc(c, gc);
  xcb_free_pixmap(c, pm);
  // A round trip makes sure the server has done all of the above.
  free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  xcb_disconnect(c);
  return grab() == shown(pic);
}

Image XServer::shown(const Image& pic) const {
  xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
  Image out;
  if (!xcb_connection_has_error(c)) {
    const PixelLayout layout = layoutOf(c, xcb_setup_roots_iterator(xcb_get_setup(c)).data);
    if (layout.trueColor()) out = Image(pic.width(), pic.height());
    if (!out.isNull())
      for (int y = 0; y < pic.height(); ++y)
      for (int x = 0; x < pic.width(); ++x) out.setPixel(x, y, unpack(pack(pic.pixel(x, y), layout), layout));
  }
  xcb_disconnect(c);
  return out;
}

Image XServer::grab() const {
  xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
  Image out;
  if (!xcb_connection_has_error(c)) {
    xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const PixelLayout layout = layoutOf(c, s);
    if (!layout.trueColor()) {
      xcb_disconnect(c);
      return {};
    }
    const int stride = layout.stride(width_);
    out = Image(width_, height_);
    const int band = 256;
    for (int y = 0; y < height_; y += band) {
      const int h = std::min(band, height_ - y);
      auto* r = xcb_get_image_reply(c,
                                    xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, s->root, 0, static_cast<int16_t>(y),
                                                  static_cast<uint16_t>(width_), static_cast<uint16_t>(h), ~0u),
                                    nullptr);
      if (!r) {
        out = {};
        break;
      }
      const uint8_t* d = xcb_get_image_data(r);
      for (int row = 0; row < h; ++row)
        for (int x = 0; x < width_; ++x) {
          std::uint32_t p = 0;
          std::memcpy(&p, d + static_cast<std::size_t>(row) * stride + x * layout.bitsPerPixel / 8,
                      static_cast<std::size_t>(layout.bitsPerPixel / 8));
          out.setPixel(x, y + row, unpack(p, layout));
        }
      free(r);
    }
  }
  xcb_disconnect(c);
  return out;
}

std::vector<TopLevel> XServer::topLevels() const {
  return withConnection(display_, std::vector<TopLevel>{}, topLevelsOn);
}

bool XServer::pointerGrabbed() const { return withConnection(display_, false, pointerGrabbedOn); }

bool XServer::keyboardGrabbed() const { return withConnection(display_, false, keyboardGrabbedOn); }

ServerHold::ServerHold(const XServer& x) : c_(xcb_connect(x.display().c_str(), nullptr)) {
  if (!ok()) return;
  xcb_grab_server(c_);
  free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

ServerHold::~ServerHold() {
  if (ok()) {
    xcb_ungrab_server(c_);
    free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
  }
  xcb_disconnect(c_);
}

bool ServerHold::ok() const { return c_ && !xcb_connection_has_error(c_); }
std::vector<TopLevel> ServerHold::topLevels() { return topLevelsOn(c_); }
bool ServerHold::pointerGrabbed() { return pointerGrabbedOn(c_); }

void ServerHold::move(int x, int y) {
  xcb_test_fake_input(c_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, XCB_NONE, static_cast<int16_t>(x),
                      static_cast<int16_t>(y), 0);
  free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

void ServerHold::press(int button) {
  xcb_test_fake_input(c_, XCB_BUTTON_PRESS, static_cast<uint8_t>(button), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

void ServerHold::release(int button) {
  xcb_test_fake_input(c_, XCB_BUTTON_RELEASE, static_cast<uint8_t>(button), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

bool XServer::xdotool(const std::vector<std::string>& args) const {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  return run(argv, {{"DISPLAY", display_}}).status == 0;
}

// The program gets input events in the order they are sent, so nothing here
// waits for it; the short pauses only space the events out like a hand would,
// so that motion arrives between press and release.
void XServer::drag(int x0, int y0, int x1, int y1, int button) const {
  const std::string b = std::to_string(button);
  xdotool({"mousemove", std::to_string(x0), std::to_string(y0), "sleep", "0.05", "mousedown", b});
  for (int i = 1; i <= 5; ++i)
    xdotool({"mousemove", std::to_string(x0 + (x1 - x0) * i / 5), std::to_string(y0 + (y1 - y0) * i / 5), "sleep",
             "0.03"});
  xdotool({"mouseup", b});
}

void XServer::click(int x, int y, int button) const {
  xdotool({"mousemove", std::to_string(x), std::to_string(y), "sleep", "0.05", "click", std::to_string(button)});
}

void XServer::doubleClick(int x, int y) const {
  xdotool({"mousemove", std::to_string(x), std::to_string(y), "sleep", "0.05", "click", "--repeat", "2", "--delay",
           "60", "1"});
}

void XServer::key(const std::string& name) const { xdotool({"key", name}); }

std::optional<std::string> XServer::clipboard(const std::string& type, Millis timeout) const {
  const RunResult r = run({"xclip", "-selection", "clipboard", "-t", type, "-o"}, {{"DISPLAY", display_}}, timeout);
  if (r.status != 0 || r.out.empty()) return std::nullopt;
  return r.out;
}

std::string XServer::clipboardTargets() const {
  return run({"xclip", "-selection", "clipboard", "-t", "TARGETS", "-o"}, {{"DISPLAY", display_}}, 5s).out;
}

namespace {
xcb_atom_t intern(xcb_connection_t* c, const std::string& name) {
  auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
  const xcb_atom_t a = r ? r->atom : XCB_NONE;
  free(r);
  return a;
}
std::string atomName(xcb_connection_t* c, xcb_atom_t a) {
  auto* r = xcb_get_atom_name_reply(c, xcb_get_atom_name(c, a), nullptr);
  std::string out =
      r ? std::string(xcb_get_atom_name_name(r), static_cast<std::size_t>(xcb_get_atom_name_name_length(r))) : "";
  free(r);
  return out;
}
}  // namespace

SelectionAnswer XServer::askClipboard(const std::string& target, Millis timeout) const {
  SelectionAnswer answer;
  xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return answer;
  }
  xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const xcb_window_t w = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, w, s->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, s->root_visual, 0,
                    nullptr);
  const xcb_atom_t property = intern(c, "TOLVANE_TEST_ANSWER");
  xcb_convert_selection(c, w, intern(c, "CLIPBOARD"), intern(c, target), property, XCB_CURRENT_TIME);
  xcb_flush(c);
  const auto end = std::chrono::steady_clock::now() + timeout;
  pollfd f{xcb_get_file_descriptor(c), POLLIN, 0};
  while (!answer.answered && std::chrono::steady_clock::now() < end) {
    while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
      if ((e->response_type & 0x7f) == XCB_SELECTION_NOTIFY) {
        const auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(e);
        answer.answered = true;
        answer.refused = n->property == XCB_NONE;
        if (!answer.refused) {
          auto* r = xcb_get_property_reply(
              c, xcb_get_property(c, 1, w, n->property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 24), nullptr);
          if (r) {
            answer.type = r->type == XCB_NONE ? "" : atomName(c, r->type);
            answer.bytes.assign(static_cast<const char*>(xcb_get_property_value(r)),
                                static_cast<std::size_t>(xcb_get_property_value_length(r)));
            free(r);
          }
        }
      }
      free(e);
    }
    if (!answer.answered) poll(&f, 1, 20);
  }
  xcb_disconnect(c);
  return answer;
}

bool XServer::waitForWindow(const std::string& title, Millis timeout) const {
  return waitUntil(
      [&] {
        return withConnection(display_, false, [&](xcb_connection_t* c) {
          xcb_window_t window = XCB_NONE;
          for (const auto& w : topLevelsOn(c))
            if (w.viewable && w.name == title) window = w.id;
          if (window == XCB_NONE) return false;
          auto* focus = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
          xcb_window_t f = focus ? focus->focus : XCB_NONE;
          free(focus);
          // The focus may sit on a child of the window.
          for (int depth = 0; f != XCB_NONE && f != XCB_INPUT_FOCUS_POINTER_ROOT && depth < 64; ++depth) {
            if (f == window) return true;
            auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, f), nullptr);
            if (!tree) return false;
            f = tree->parent == tree->root ? XCB_NONE : tree->parent;
            free(tree);
          }
          return false;
        });
      },
      timeout);
}

bool XServer::takeClipboard(const std::string& text) const {
  // xclip stays behind to serve the text; its output goes nowhere so we need not wait for it.
  if (run({"sh", "-c", "xclip -selection clipboard -i >/dev/null 2>&1"}, {{"DISPLAY", display_}}, kPatience, text)
          .status != 0)
    return false;
  return waitUntil([&] { return clipboard("UTF8_STRING", 5s) == text; }, kPatience);
}

bool XServer::windowManagerRunning() const {
  return withConnection(display_, false, [](xcb_connection_t* c) {
    const xcb_atom_t check = atom(c, "_NET_SUPPORTING_WM_CHECK");
    const auto named = [&](xcb_window_t w) {
      auto* r = xcb_get_property_reply(c, xcb_get_property(c, 0, w, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
      xcb_window_t out = XCB_NONE;
      if (r && r->type == XCB_ATOM_WINDOW && xcb_get_property_value_length(r) == 4)
        std::memcpy(&out, xcb_get_property_value(r), 4);
      free(r);
      return out;
    };
    const xcb_window_t w = named(xcb_setup_roots_iterator(xcb_get_setup(c)).data->root);
    return w != XCB_NONE && named(w) == w;
  });
}

IRect XServer::geometry(std::uint32_t window) const {
  return withConnection(display_, IRect{}, [window](xcb_connection_t* c) {
    IRect out;
    auto* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    if (!g) return out;
    xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    auto* t = xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, s->root, 0, 0), nullptr);
    if (t) out = {t->dst_x, t->dst_y, t->dst_x + g->width, t->dst_y + g->height};
    free(t);
    free(g);
    return out;
  });
}

Cover::Cover(const XServer& x, const IRect& where, Argb colour) : c_(xcb_connect(x.display().c_str(), nullptr)) {
  if (!ok()) return;
  xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
  window_ = xcb_generate_id(c_);
  const std::uint32_t values[] = {colour & 0xFFFFFFu, 1u};  // background pixel (depth 24), override-redirect
  xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, s->root, static_cast<int16_t>(where.left),
                    static_cast<int16_t>(where.top), static_cast<uint16_t>(where.width()),
                    static_cast<uint16_t>(where.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, s->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
  xcb_map_window(c_, window_);
  free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

Cover::~Cover() { xcb_disconnect(c_); }

bool Cover::ok() const { return c_ && !xcb_connection_has_error(c_); }

MapWatch::MapWatch(const XServer& x) : c_(xcb_connect(x.display().c_str(), nullptr)) {
  if (!ok()) return;
  xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(c_, s->root, XCB_CW_EVENT_MASK, &mask);
  free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

MapWatch::~MapWatch() { xcb_disconnect(c_); }

bool MapWatch::ok() const { return c_ && !xcb_connection_has_error(c_); }

int MapWatch::maps() {
  if (!ok()) return -1;
  free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
  while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
    if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) ++maps_;
    free(e);
  }
  return maps_;
}

Program::Program(const XServer& x, const std::vector<std::string>& argv, std::map<std::string, std::string> env,
                 int out) {
  env["DISPLAY"] = x.display();
  errPath_ = scratchDir() + "/stderr-" + std::to_string(getpid()) + "-" + std::to_string(std::rand()) + ".txt";
  const int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  pid_ = spawn(argv, env, open("/dev/null", O_RDONLY | O_CLOEXEC), out, err);
  close(err);
}

Program::~Program() {
  if (pid_ > 0 && !status_) {
    kill(-pid_, SIGKILL);
    int st;
    waitpid(pid_, &st, 0);
  }
  unlink(errPath_.c_str());
}

bool Program::running() {
  if (status_ || pid_ <= 0) return false;
  int st = 0;
  if (waitpid(pid_, &st, WNOHANG) == pid_) {
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return false;
  }
  return true;
}

std::optional<int> Program::wait(Millis timeout) {
  waitUntil([&] { return !running(); }, timeout);
  return status_;
}

std::string Program::stderrText() const { return readFile(errPath_); }

std::string programPath() {
  const char* p = std::getenv("TOLVANE_PROGRAM");
  return p ? p : TOLVANE_PROGRAM_DEFAULT;
}

std::string scratchDir() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/tolvane-e2e-XXXXXX";
    const char* d = mkdtemp(tmpl);
    return std::string(d ? d : "/tmp");
  }();
  return dir;
}

Image knownPicture(int w, int h) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const unsigned r = (x * 3 + (y / 16) * 40) & 0xFF, g = (y * 5 + (x / 16) * 30) & 0xFF, b = (x ^ y) & 0xFF;
      img.setPixel(x, y, 0xFF000000u | r << 16 | g << 8 | b);
    }
  return img;
}

Image veiled(const Image& picture) {
  Image out(picture.width(), picture.height());
  platform::raster::veilFrom(out, picture, picture.rect(), 0x80222222u);
  return out;
}

Image decodePng(const std::string& bytes) {
  QImage q;
  if (!q.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()), "PNG")) return {};
  q = q.convertToFormat(QImage::Format_RGB32);
  Image out(q.width(), q.height());
  for (int y = 0; y < q.height(); ++y) {
    const auto* line = reinterpret_cast<const Argb*>(q.constScanLine(y));
    for (int x = 0; x < q.width(); ++x) out.setPixel(x, y, line[x] | 0xFF000000u);
  }
  return out;
}

bool savePng(const Image& img, const std::string& path) {
  QImage q(reinterpret_cast<const uchar*>(img.constBits()), img.width(), img.height(), img.width() * 4,
           QImage::Format_RGB32);
  return q.save(QString::fromStdString(path), "PNG");
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace tolvane::e2e
