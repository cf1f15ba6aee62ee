// The Wayland desktop read through the desktop's Screenshot portal
// (org.freedesktop.portal.Screenshot over the session bus), where the
// compositor offers no wlr-screencopy: GNOME and KDE Plasma.
//
// The call is made here, in the capture stage, with QtDBus, rather than in
// the Qt-free first stage with libdbus-1: Qt's GUI library already loads
// QtDBus and libdbus-1, so here it costs no load at all, while the first
// stage would add libdbus-1 (about 1 ms to load here) and a PNG decoder of
// its own. The portal itself takes 130-150 ms (440 ms when it first
// starts), which dwarfs either. Sending the request from the first stage
// and loading Qt while the portal works would save up to the capture
// stage's load time; that is not done.
#pragma once

#include <chrono>
#include <string>

#include "platform/system.h"

namespace tolvane::platform::qt {

class PortalScreen : public Screen {
 public:
  // Asks the portal for the desktop (not interactively) and waits for its
  // answer. The desktop may first ask the user for permission, so the wait
  // is long: at most `patience`, then the request is withdrawn. Needs a
  // QCoreApplication. On success the picture is cut to the output a
  // full-screen window covers (the top-left one), so that it matches what
  // the window shows, and the portal's file is removed.
  const ScreenRead& readNow(std::chrono::milliseconds patience = std::chrono::minutes(10));

  int width() const override { return read_.picture.width(); }
  int height() const override { return read_.picture.height(); }
  ScreenRead grab() override { return read_; }

 private:
  // The portal's picture read from `path`, cut to the window's output.
  static ScreenRead cutToOutput(const std::string& path);
  // How long the call that starts the request may take.
  static constexpr int kCallTimeoutMs = 30000;
  ScreenRead read_;
};

}  // namespace tolvane::platform::qt
