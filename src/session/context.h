// What the capture window's units share: the platform, the controls, the
// state, the history and the veil fill.
#pragma once

#include "annotation/veil_painter.h"
#include "annotation/history.h"
#include "layout/controls.h"
#include "platform/output.h"
#include "platform/surface.h"
#include "platform/system.h"
#include "session/state.h"

namespace tolvane::session {

struct Platform {
  platform::Surface& surface;
  platform::Screen& screen;
  platform::Pointer& pointer;
  platform::App& app;
  platform::InstanceLock& lock;
  platform::Clipboard& clipboard;
  platform::SaveDialog& saveDialog;
  platform::MessageBox& messageBox;
  platform::Encoders& encoders;
  platform::Environment& env;
};

struct Session {
  Platform& p;
  layout::Controls& c;
  State& s;
  annotation::History& history;
  annotation::VeilPainter& veil;

  // The screen.s size in pixels.
  float screenWidth() const { return static_cast<float>(p.screen.width()); }
  float screenHeight() const { return static_cast<float>(p.screen.height()); }
  layout::Control& frame() { return c(platform::Ctl::SelectionFrame); }
  const layout::Control& frame() const { return c(platform::Ctl::SelectionFrame); }
};

}  // namespace tolvane::session
