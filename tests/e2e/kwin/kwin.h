// KDE end-to-end harness: a private headless KWin (kwin_wayland --virtual)
// on a session bus of its own, a known picture as its background (swaybg,
// through KWin's layer-shell), and a helper driving it through KWin's fake
// input and reading it through KWin's screenshot interface. KDE's
// Screenshot portal starts on the bus's demand. Everything of the session,
// the program included, runs as the tests' plain user, in a home and a run
// folder of its own.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../harness.h"

namespace tolvane::e2e {

class KWin {
 public:
  // Headless, one output per picture, all of the first's size in device
  // pixels, side by side, at this scale (input goes in logical pixels).
  explicit KWin(const std::vector<Image>& outputs, int scale = 1);
  ~KWin();
  KWin(const KWin&) = delete;
  KWin& operator=(const KWin&) = delete;

  bool ok() const { return ok_; }
  // Why it did not start.
  std::string trouble() const;
  // What a client of this session needs: the compositor, the bus, the home.
  std::map<std::string, std::string> clientEnv() const;
  const std::string& home() const { return home_; }
  // A program of this session: run as the tests' plain user.
  std::unique_ptr<Process> start(const std::vector<std::string>& argv,
                                 const std::map<std::string, std::string>& extra = {}) const;

  // The desktop as KWin's screenshot interface gives it, without the pointer.
  Image grab() const;
  // The clipboard's image/png as a picture, once some client serves it.
  std::optional<Image> pastedPicture() const;
  std::optional<std::string> paste(const std::string& type) const;
  // Another client takes the clipboard over with a text.
  bool copyText(const std::string& text);

  bool move(int x, int y);
  bool press(int button = 1);
  bool release(int button = 1);
  bool drag(int x0, int y0, int x1, int y1);
  bool click(int x, int y, int button = 1);
  bool doubleClick(int x, int y);
  // Linux input key codes, pressed in order and released in reverse.
  bool keys(const std::vector<int>& codes);

 private:
  bool helperSays(const std::string& line);
  RunResult client(const std::vector<std::string>& argv, Millis timeout = 10s) const;
  std::vector<std::string> asUser(std::vector<std::string> argv) const;
  bool writeEntries(const std::string& program, const std::string& helper);
  void startDesktop(const std::vector<Image>& outputs, int scale);

  bool ok_ = false;
  std::string dir_, runtime_, home_, socket_, helper_;
  std::unique_ptr<Process> bus_, kwin_, background_, input_, copier_;
  int inputIn_ = -1, inputOut_ = -1;
};

// The program as a plain user can run it, authorised by a desktop entry
// in the session's home whose Exec= is its full path.
std::string kwinProgramPath();

}  // namespace tolvane::e2e
