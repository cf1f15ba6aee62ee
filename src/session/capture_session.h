// The capture window: owns the units of the capture and routes each event
// to the one that handles it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "annotation/annotator.h"
#include "annotation/history.h"
#include "annotation/style_panel.h"
#include "annotation/text_tool.h"
#include "annotation/toolbar.h"
#include "handles/handle_resizer.h"
#include "layout/controls.h"
#include "output/finish.h"
#include "picture/surface.h"
#include "platform/events.h"
#include "platform/output.h"
#include "platform/system.h"
#include "selection/backdrop.h"
#include "selection/chrome.h"
#include "selection/pointer_panel.h"
#include "selection/region.h"
#include "selection/selection_mouse.h"
#include "session/finishing.h"
#include "session/shortcuts.h"

namespace tolvane::session {

// The platform the capture runs on.
struct Platform {
  picture::Surface& surface;
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

class CaptureSession : public platform::EventSink {
 public:
  CaptureSession(Platform& platform, platform::ControlView* view);
  ~CaptureSession() override;

  // How the start-up went.
  enum class StartUp { Running, AnotherCapture, ScreenUnreadable };
  // Start-up. Anything but Running means nothing is shown and the capture
  // is over; failure() then says why the screen could not be read.
  StartUp start();
  // Why the screen could not be read; nothing otherwise.
  const std::optional<platform::Failure>& failure() const { return failure_; }
  // Closes the window (Esc, right click, finishing); the first call only.
  void close();
  bool closed() const { return closed_; }

  // Selects `area` (clamped to the screen) as if the user had dragged it out
  // with the left button: frame, handles, size label and toolbar shown. What
  // was drawn on an earlier region goes, and no tool stays chosen.
  void selectRegion(const IRect& area);

  // EventSink
  void mouseDown(platform::CtlRef target, const platform::Mouse& m) override;
  void mouseMove(platform::CtlRef target, const platform::Mouse& m) override;
  void mouseUp(platform::CtlRef target, const platform::Mouse& m) override;
  void dblClick(platform::CtlRef target) override;
  void click(platform::CtlRef target) override;
  void textChanged(platform::CtlRef target, const std::string& utf8) override;
  bool keyDown(platform::CtlRef focus, const platform::Key& key) override;

  // For the view and the tests.
  layout::Controls& controls() { return controls_; }
  const annotation::History& history() const { return history_; }
  const selection::Region& region() const { return region_; }

 private:
  bool grabHandle();
  // A keyboard command other than Close; whether it was used.
  bool runShortcut(const Shortcut& s);
  // A toolbar button, clicked or by its key.
  void press(annotation::ToolButton button);

  Platform& p_;
  layout::Controls controls_;
  selection::Region region_;
  selection::Backdrop backdrop_;
  annotation::History history_;
  selection::PointerPanel panel_;
  selection::Chrome chrome_;
  annotation::StylePanel style_;
  annotation::TextTool text_;
  annotation::Annotator annotator_;
  output::Finisher finisher_;
  Finishing finishing_;
  annotation::Toolbar toolbar_;
  selection::SelectionMouse selection_;
  handles::HandleResizer resizer_;
  int buttonsDown_ = 0;  // buttons pressed on the window and not yet released
  bool closed_ = false;
  std::optional<platform::Failure> failure_;
};

}  // namespace tolvane::session
