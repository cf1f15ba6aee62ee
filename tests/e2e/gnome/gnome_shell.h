// GNOME end-to-end harness: a private headless GNOME Shell (Wayland, one
// virtual monitor) showing a known picture as its background, with its own
// system and session buses, PipeWire, and the Screenshot portal with GNOME's
// back end started on the session bus's demand. Input goes through mutter's
// remote desktop session and the screen is read through the shell, both by a
// helper on that bus; the clipboard is read by wl-paste.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../harness.h"

namespace tolvane::e2e {

// The rows at the top that the shell's bar covers; the desktop lies below.
inline constexpr int kTopBar = 40;

class GnomeShell {
 public:
  // The monitor's size; the background shows `picture` (of that size) 1:1.
  explicit GnomeShell(const Image& picture);
  ~GnomeShell();
  GnomeShell(const GnomeShell&) = delete;
  GnomeShell& operator=(const GnomeShell&) = delete;

  // Empty once the shell shows the background and takes input; else what failed.
  const std::string& failure() const { return failure_; }
  // What a client of this shell needs: its display, buses, run folder and home.
  std::map<std::string, std::string> clientEnv() const;
  // The session's home; the portal writes its pictures to its Pictures folder.
  const std::string& home() const { return home_; }

  // Whether the shell's overview is up; nullopt when the shell cannot be asked.
  std::optional<bool> overviewShown() const;
  // Closes the overview (Esc) and waits until the desktop shows the background.
  bool showDesktop();

  // The screen as the shell reads it (no pointer); empty when it cannot be read.
  Image grab();
  // The clipboard's image/png as wl-paste reads it now; nullopt when no
  // client serves one within the timeout.
  std::optional<Image> pastedPicture(Millis timeout = 5s) const;

  // Input. Buttons are evdev codes (0x110 left, 0x111 right); keys are keysyms.
  bool move(int x, int y);
  bool press(int button = 0x110);
  bool release(int button = 0x110);
  bool drag(int x0, int y0, int x1, int y1);
  bool click(int x, int y);
  bool doubleClick(int x, int y);
  // Presses the keys in order, then lets them go in reverse: {Control_L, c} is Ctrl+C.
  bool keys(const std::vector<unsigned>& keysyms);

  // The screenshot permission that the permission store keeps for programs
  // outside a sandbox: "yes", "no", or none at all (the portal then asks).
  bool setPermission(const std::optional<std::string>& answer) const;
  std::optional<std::string> permission() const;

  // The command as the plain test user when the tests run as root.
  static std::vector<std::string> asUser(const std::vector<std::string>& argv);

 private:
  bool start(const Image& picture);
  bool startHelper();
  bool says(const std::string& line);
  void endStrays() const;
  RunResult client(const std::vector<std::string>& argv, Millis timeout = 10s) const;

  std::string failure_, dir_, run_, home_, helper_;
  Image background_;  // the desktop below the top bar
  std::unique_ptr<Process> systemBus_, sessionBus_, pipewire_, shell_, hands_;
  int helperIn_ = -1, helperOut_ = -1;
};

// Keysyms the tests type.
namespace keysym {
inline constexpr unsigned kTab = 0xff09, kReturn = 0xff0d, kEscape = 0xff1b, kControl = 0xffe3, kC = 0x63;
}

}  // namespace tolvane::e2e
