// What the capture window's units share: the platform, the controls, the
// state, the history and the veil fill.
#pragma once

#include "annotation/gdip.h"
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
  annotation::GDIP& gdip;

  // The screen's size: twips divided by 15.
  float screenWidth() const { return static_cast<float>(p.screen.widthTwips()) / 15.0f; }
  float screenHeight() const { return static_cast<float>(p.screen.heightTwips()) / 15.0f; }
  layout::Control& shape1() { return c(platform::Ctl::Shape1); }
  const layout::Control& shape1() const { return c(platform::Ctl::Shape1); }
};

}  // namespace tolvane::session
