// The capture window: owns the state and routes each event to the unit
// that handles it.
#pragma once

#include <memory>
#include <string>

#include "annotation/veil_painter.h"
#include "annotation/history.h"
#include "layout/controls.h"
#include "platform/events.h"
#include "session/context.h"
#include "session/state.h"

namespace tolvane::selection { class SelectionMouse; class DrawingMouse; class PointerPanel; }
namespace tolvane::handles { class HandleResizer; }
namespace tolvane::annotation { class Toolbar; class StylePanel; class TextTool; }
namespace tolvane::output { class Finisher; }

namespace tolvane::session {

class CaptureSession : public platform::EventSink {
 public:
  CaptureSession(Platform& platform, platform::ControlView* view);
  ~CaptureSession() override;

  // Start-up. Returns false when another capture runs (nothing was read) or
  // when the screen cannot be read; failure() then says why.
  bool start();
  // Why start-up failed; empty when it did not, or when another capture runs.
  const std::string& failure() const { return failure_; }
  // Closes the window (Esc, right click, finishing). Runs Unload once.
  void close();
  bool unloaded() const { return unloaded_; }

  // EventSink
  void mouseDown(platform::CtlRef target, const platform::Mouse& m) override;
  void mouseMove(platform::CtlRef target, const platform::Mouse& m) override;
  void mouseUp(platform::CtlRef target, const platform::Mouse& m) override;
  void dblClick(platform::CtlRef target) override;
  void click(platform::CtlRef target) override;
  void textChanged(platform::CtlRef target, const std::string& utf8) override;
  void keyPress(int ascii) override;

  // For the view and the tests.
  layout::Controls& controls() { return controls_; }
  State& state() { return state_; }
  annotation::History& history() { return history_; }
  Session& session() { return session_; }
  output::Finisher& finisher() { return *finisher_; }

 private:
  void releaseScreen();

  Platform& p_;
  layout::Controls controls_;
  State state_;
  annotation::History history_;
  annotation::VeilPainter veil_;
  Session session_;
  std::unique_ptr<selection::PointerPanel> panel_;
  std::unique_ptr<annotation::StylePanel> style_;
  std::unique_ptr<annotation::TextTool> text_;
  std::unique_ptr<output::Finisher> finisher_;
  std::unique_ptr<annotation::Toolbar> toolbar_;
  std::unique_ptr<selection::DrawingMouse> drawing_;
  std::unique_ptr<selection::SelectionMouse> selection_;
  std::unique_ptr<handles::HandleResizer> resizer_;
  int buttonsDown_ = 0;  // buttons pressed on the window and not yet released
  bool unloaded_ = false;
  std::string failure_;
};

}  // namespace tolvane::session
