// The Wayland desktop read through KWin's own screenshot interface
// (org.kde.KWin.ScreenShot2 over the session bus), on KDE Plasma: unlike
// the Screenshot portal it leaves the pointer out of the picture and
// writes no file. KWin lets only programs whose installed desktop entry
// names the interface use it (X-KDE-DBUS-Restricted-Interfaces, matched by
// the entry's Exec= to the running program's path).
#pragma once

#include <chrono>
#include <functional>

#include "platform/system.h"

namespace tolvane::platform::qt {

class KWinScreen : public Screen {
 public:
  // Whether KWin offers its screenshot interface on the session bus.
  static bool offered();

  // Asks KWin for the output a full-screen window covers (the layout's
  // top-left one, the part of the desktop the portal route shows), in its
  // own device pixels, without the pointer; waits at most `patience`.
  // Needs a QGuiApplication. A refusal or a missing interface fails with
  // why, so that the caller can turn to the portal.
  const ScreenRead& readNow(std::chrono::milliseconds patience = std::chrono::seconds(20));

  int width() const override { return read_.picture.width(); }
  int height() const override { return read_.picture.height(); }
  ScreenRead grab() override { return read_; }

 private:
  ScreenRead read_;
};

}  // namespace tolvane::platform::qt
