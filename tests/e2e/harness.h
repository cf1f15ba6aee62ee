// End-to-end harness: a private Xvfb with a known picture on its root window,
// the real program started on it, and xdotool / xclip driving it the way a
// user and another program would.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "picture/image.h"

struct xcb_connection_t;

namespace tolvane::e2e {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

// Every process the tests start carries TOLVANE_E2E_RUN=<this build folder>,
// so that a check after the suite finds any that is still running.
inline constexpr const char* kRunMark = "TOLVANE_E2E_RUN";

// How long a step may take on a busy machine before the test gives up. Every
// wait polls for what it needs, so this costs nothing when all goes well.
inline constexpr Millis kPatience = 30s;

// How the clipboard's owner answered a request for one type.
struct SelectionAnswer {
  bool answered = false;  // a SelectionNotify came in time
  bool refused = false;   // it named no property: the owner cannot give that type
  std::string type;       // the property's type, e.g. "image/png" or "INCR"
  std::string bytes;
};

struct RunResult {
  int status = -1;  // exit code, or -1 when it did not end in time
  std::string out, err;
};

// Runs a command to its end (or the timeout), with extra environment variables.
RunResult run(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {},
              Millis timeout = 10s, const std::string& input = {});

bool waitUntil(const std::function<bool()>& ready, Millis timeout, Millis every = 20ms);

// Writes one line to a helper process's input and waits, up to kPatience,
// for its "ok" line on its output: false when it never comes.
bool helperSays(int in, int out, const std::string& line);

// A binary PPM (as grim and the KWin helper write them) as a picture; empty
// when it is not one.
Image fromPpm(const std::string& bytes);

// A top-level window as the tests see it.
struct TopLevel {
  std::uint32_t id = 0;
  std::string name;       // _NET_WM_NAME, else WM_NAME
  std::uint32_t pid = 0;  // _NET_WM_PID, 0 when not set
  bool viewable = false;
  bool overrideRedirect = false;
};

class XServer {
 public:
  // Xvfb's screen 0 at this size and depth (8, 15, 16, 24 or 30).
  XServer(int width, int height, int depth = 24);
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  bool ok() const { return pid_ > 0 && !display_.empty(); }
  const std::string& display() const { return display_; }
  int width() const { return width_; }
  int height() const { return height_; }
  int depth() const { return depth_; }

  // Puts the picture on the root window, where it stays (the server runs with
  // -noreset). True when the screen then shows shown(picture). TrueColor only.
  bool setRoot(const Image& picture);
  // The picture as this screen's pixel format can hold it (the same at depth 24).
  Image shown(const Image& picture) const;
  // What the screen shows now; empty when it is not TrueColor.
  Image grab() const;

  // xdotool with DISPLAY set; true when it succeeded.
  bool xdotool(const std::vector<std::string>& args) const;
  void drag(int x0, int y0, int x1, int y1, int button = 1) const;
  void click(int x, int y, int button = 1) const;
  void doubleClick(int x, int y) const;
  void key(const std::string& name) const;
  // The CLIPBOARD's content of a type, read by xclip; nullopt when nobody serves it.
  std::optional<std::string> clipboard(const std::string& type = "image/png", Millis timeout = 5s) const;
  std::string clipboardTargets() const;
  // Asks the CLIPBOARD's owner for a target directly, as any program would, and
  // tells a refusal from data (xclip shows both as empty output).
  SelectionAnswer askClipboard(const std::string& target, Millis timeout = 5s) const;
  // The children of the root window, bottom to top.
  std::vector<TopLevel> topLevels() const;
  // Whether some client holds the pointer / keyboard: a grab of our own is
  // tried and, when it succeeds, let go at once.
  bool pointerGrabbed() const;
  bool keyboardGrabbed() const;
  // Waits until a window with this title is shown and has the keyboard
  // focus, so that keys typed next reach it.
  bool waitForWindow(const std::string& title, Millis timeout = kPatience) const;
  // Another program takes the clipboard over with a text; true once it serves it.
  bool takeClipboard(const std::string& text) const;
  // Whether an EWMH window manager runs: the root names a check window that
  // names itself.
  bool windowManagerRunning() const;
  // Where a window lies on the screen, and its size: left, top, right, bottom.
  IRect geometry(std::uint32_t window) const;

 private:
  pid_t pid_ = -1;
  std::string display_;
  int width_, height_, depth_;
};

// Counts the windows mapped on a server from its own start on.
class MapWatch {
 public:
  explicit MapWatch(const XServer& x);
  ~MapWatch();
  MapWatch(const MapWatch&) = delete;
  MapWatch& operator=(const MapWatch&) = delete;
  bool ok() const;
  // After a round trip, so every map the server has made so far counts.
  int maps();

 private:
  xcb_connection_t* c_;
  int maps_ = 0;
};

// Holds the server for the test alone while it lives: no other client's
// requests are served, so what it sees stays true while it sends input
// through XTest.
class ServerHold {
 public:
  explicit ServerHold(const XServer& x);
  ~ServerHold();
  ServerHold(const ServerHold&) = delete;
  ServerHold& operator=(const ServerHold&) = delete;
  bool ok() const;
  std::vector<TopLevel> topLevels();
  bool pointerGrabbed();
  void move(int x, int y);
  void press(int button);
  void release(int button);

 private:
  xcb_connection_t* c_;
};

// Another client's plain window of one colour, shown over the screen while
// it lives: a panel raising itself (a dock, which a window manager keeps at
// its place) or, bypassing the window manager, a pop-up (a tooltip, an
// input method's word list).
class Cover {
 public:
  enum class Kind { Panel, Popup };
  Cover(const XServer& x, const IRect& where, Argb colour, Kind kind = Kind::Panel);
  ~Cover();
  Cover(const Cover&) = delete;
  Cover& operator=(const Cover&) = delete;
  bool ok() const;
  std::uint32_t id() const { return window_; }

 private:
  xcb_connection_t* c_;
  std::uint32_t window_ = 0;
};

// A process of the test's own, in a process group of its own, its standard
// error kept in a file. When it goes while the process still runs, the group
// gets SIGTERM and `grace` to end, then SIGKILL; with no grace, SIGKILL at once.
class Process {
 public:
  // `in`, `out`: descriptors for its standard input and output; -1 gives it
  // /dev/null to read and leaves the test's own output.
  Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env, int in = -1,
          int out = -1, Millis grace = 3s);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  bool running();
  // Waits for the end; the exit code, or nullopt on a timeout.
  std::optional<int> wait(Millis timeout);
  void signal(int sig) const;
  std::string stderrText() const;

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
  std::string errPath_;
  Millis grace_;
};

// The program (or any command) on the test's X server, killed at once when it goes.
// Run by a test as root, it runs as the plain user testUser() instead, as
// real users run it.
class Program : public Process {
 public:
  // `out`: a descriptor for its standard output; -1 leaves the test's own.
  Program(const XServer& x, const std::vector<std::string>& argv, std::map<std::string, std::string> env = {},
          int out = -1);
};

// The plain user that programs run as when the tests run as root (made on
// first use); nullopt when the tests run as a plain user already, or it
// cannot be made.
struct TestUser {
  uid_t uid;
  gid_t gid;
};
std::optional<TestUser> testUser();
// Hands a file or folder the test made to that user; true when there is
// none or it worked.
bool giveToTestUser(const std::string& path);
// A command line that runs `argv` as that user, when there is one.
std::vector<std::string> asTestUser(const std::vector<std::string>& argv);

// Where the program under test and the scratch folder are.
std::string programPath();
std::string scratchDir();

// Where a click on toolbar button `index` lands (0 undo, 1 copy and close,
// 2 save, 3 quit, 4 arrow, 5 text, 6 ellipse, 7 rectangle, 8 redo): the
// middle of the 16-pixel button. The toolbar lies 4 pixels below a region
// whose bottom-right corner is (right, bottom), its right end under the
// region's; the buttons' left edges in fifteenths of a pixel, as laid out.
inline std::pair<int, int> toolbarButton(int right, int bottom, int index) {
  constexpr int left[9] = {1700, 3270, 2440, 2900, 1220, 860, 480, 100, 2070};
  const double barLeft = right - 3620.0 / 15, barTop = bottom + 4;
  return {static_cast<int>(barLeft + left[index] / 15.0 + 8), static_cast<int>(barTop + 5 + 8)};
}

// A picture with detail everywhere and a distinct colour per pixel row and column.
Image knownPicture(int w, int h);
Image veiled(const Image& picture);
Image decodePng(const std::string& bytes);
bool savePng(const Image& img, const std::string& path);
std::string readFile(const std::string& path);
// The number a line of /proc/PID/status starts with (kB for sizes);
// nullopt when the process or the line is not there.
std::optional<long long> procStatus(pid_t pid, const std::string& field);
// What the process at `pid` has mapped, a line per mapping; empty once it is gone.
std::string procMappings(pid_t pid);

}  // namespace tolvane::e2e
