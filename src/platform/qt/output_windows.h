// The capture windows: one over the whole screen, or on Wayland one per
// output, each showing its part of the picture, with the canvas's damage
// shared out among them.
#pragma once

#include <memory>
#include <vector>

#include "platform/output_areas.h"
#include "platform/qt/capture_window.h"

namespace tolvane::platform::qt {

class QtControlView;
class QtMessageBox;
class QtSaveDialog;

class CaptureWindows {
 public:
  // Windows for a picture of `width` x `height`; with `perOutput`, one per
  // output, the first on the output at the layout's top-left corner.
  CaptureWindows(bool perOutput, int width, int height);
  CaptureWindows(const CaptureWindows&) = delete;
  CaptureWindows& operator=(const CaptureWindows&) = delete;

  // The window that holds the controls and the dialogs when no region says otherwise.
  CaptureWindow& first() { return first_; }
  // Every window, the first first.
  const std::vector<CaptureWindow*>& all() const { return all_; }
  // Where the canvas sends its damage.
  picture::Presenter* presenter();
  void setSurface(picture::RasterSurface* surface);

  // With a window per output, the dialogs belong to the one showing the
  // region: the one the toolbar, which lies under the region, was put on.
  void hostDialogs(QtSaveDialog& saveDialog, QtMessageBox& messageBox, QtControlView& view);

 private:
  void coverEachOutput();

  CaptureWindow first_;
  std::vector<std::unique_ptr<CaptureWindow>> more_;
  std::vector<CaptureWindow*> all_;
  OutputPresenters presenters_;
};

}  // namespace tolvane::platform::qt
