// Wayland end-to-end harness: a private headless sway with a known picture
// as its background, the real program started on it, and grim, wl-paste,
// wtype and a virtual pointer driving and watching it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../harness.h"

namespace tolvane::e2e {

// How many of Qt's Wayland shared-memory buffers the process at `pid` has
// mapped that are at least `bytes` long (a screen's worth each).
int waylandShmBuffers(pid_t pid, std::uint64_t bytes);

class Sway {
 public:
  // Headless, one output per picture, each of its picture's size and showing
  // it 1:1: at the given places in the layout, else side by side from the left.
  explicit Sway(const std::vector<Image>& outputs, std::vector<std::pair<int, int>> places = {});
  ~Sway();
  Sway(const Sway&) = delete;
  Sway& operator=(const Sway&) = delete;

  bool ok() const { return ok_; }
  std::string socket() const { return socket_; }
  // WAYLAND_DISPLAY and the rest a client of this compositor needs.
  std::map<std::string, std::string> clientEnv(const std::string& runtimeDir) const;

  // The output as grim reads it; empty when it cannot be read.
  Image grab() const;
  // One pixel of it; 0 when it cannot be read.
  Argb pixel(int x, int y) const;
  // The clipboard's content of a type, read by wl-paste; nullopt when nobody serves it.
  std::optional<std::string> paste(const std::string& type = "image/png") const;
  // The clipboard's image/png as a picture, once some client serves it;
  // nullopt when none does in time.
  std::optional<Image> pastedPicture() const;
  // Another client takes the clipboard over with a text.
  bool copyText(const std::string& text);

  // Input: the virtual pointer and wtype's keyboard.
  bool move(int x, int y);
  bool press(int button = 1);
  bool release(int button = 1);
  bool drag(int x0, int y0, int x1, int y1, int button = 1);
  bool click(int x, int y, int button = 1);
  bool doubleClick(int x, int y);
  // What sway says of the window with exactly this title: whether it is
  // seen (not covered by a full-screen window), has the keyboard, and where
  // it lies in the layout.
  struct WindowState {
    bool found = false, visible = false, focused = false;
    IRect rect;
  };
  WindowState window(const std::string& title) const;
  // wtype's arguments: "-k Escape", "-M ctrl -k c -m ctrl", or a text.
  bool keys(const std::vector<std::string>& args) const;

 private:
  bool pointerSays(const std::string& line);
  RunResult client(const std::vector<std::string>& argv, Millis timeout = 10s, const std::string& input = {}) const;

  bool ok_ = false;
  std::string dir_, runtime_, socket_, clientRuntime_;
  std::unique_ptr<Process> sway_, keyboard_, pointer_, copier_;
  int pointerIn_ = -1, pointerOut_ = -1;
};

// A session bus of the plain user's, its socket `runtime`/bus, and PipeWire,
// as a desktop session has: the Screenshot portal and its back ends (the
// wlr one reads the screen through PipeWire) start on the bus's demand and
// go with its process group. `busConfig`: dbus-daemon's configuration.
class PortalSession {
 public:
  PortalSession(const std::string& runtime, const std::map<std::string, std::string>& env,
                const std::string& busConfig = "/usr/share/dbus-1/session.conf");
  bool ok() const { return ok_; }
  std::string address() const { return address_; }
  // What the bus and PipeWire said, when one did not start.
  std::string errors() const;

 private:
  bool ok_ = false;
  std::string address_;
  std::unique_ptr<Process> bus_, pipewire_;
};

// The pictures at their places in one picture from the layout's corner at
// 0,0; black where no output lies.
Image layoutOf(const std::vector<Image>& outputs, const std::vector<std::pair<int, int>>& places);
// Places side by side from the left, top-aligned.
std::vector<std::pair<int, int>> sideBySidePlaces(const std::vector<Image>& outputs);
inline Image sideBySide(const std::vector<Image>& outputs) { return layoutOf(outputs, sideBySidePlaces(outputs)); }

// Every colour turned around: a picture that differs from `picture` everywhere.
Image inverted(const Image& picture);

// Where the tests' pointer helper is.
std::string pointerHelperPath();

// The program's command line with `args`: run by tests run as root, it runs
// as the plain user testUser(), as real users run it (sway runs as that
// user too).
std::vector<std::string> programLine(const std::vector<std::string>& args = {});

}  // namespace tolvane::e2e
