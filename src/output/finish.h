// Finishing a capture: the region to the clipboard, the save dialog, the file.
#pragma once

#include <functional>

#include "platform/image.h"
#include "session/context.h"

namespace tolvane::output {

class Finisher {
 public:
  Finisher(session::Session& ss, std::function<void()> close) : ss_(ss), close_(std::move(close)) {}

  // DblClick of the window: finishes when the last press lay inside SelRect.
  void DblClick();
  // Hides the frame, handles and labels, lets the window repaint, and puts the
  // region (left, top inclusive; Right, Bottom exclusive) of the window's
  // picture on the clipboard. Outside the screen the picture is black.
  void ScrnCap(int left, int top, int Right, int Bottom);
  // Offers the save dialog and writes the captured picture.
  void CutdSave();

  const Image& captured() const { return captured_; }

 private:
  session::Session& ss_;
  std::function<void()> close_;
  Image captured_;
};

}  // namespace tolvane::output
