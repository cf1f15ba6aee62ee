// The toolbar's nine buttons: four tools, undo, redo, and three ways to finish.
#pragma once

#include <functional>

#include "output/finish.h"
#include "session/context.h"

namespace tolvane::annotation {

class Toolbar {
 public:
  // `commitOpenText` brings an open text box into the picture as a step.
  Toolbar(session::Session& ss, output::Finisher& finish, std::function<void()> close,
          std::function<void()> commitOpenText = {})
      : ss_(ss), finish_(finish), close_(std::move(close)), commitOpenText_(std::move(commitOpenText)) {}

  void click(int index);
  void buttonMouseMove(int index);  // hover frame behind the button
  void toolbarHovered();
  void stylePanelHovered();

 private:
  void chooseTool(int index);
  void undo();
  void copyAndClose();
  void save();
  void hideHoverFrames();
  bool captureRegion(output::Finisher::Then then);

  session::Session& ss_;
  output::Finisher& finish_;
  std::function<void()> close_;
  std::function<void()> commitOpenText_;
};

// The toolbar's buttons by index; their tooltips are presentation only.
enum class ToolButton { Undo, CopyAndClose, Save, Close, Arrow, Text, Ellipse, Rectangle, Redo };

// The drawing tool a button chooses; Tool::None for the others.
session::Tool toolForButton(int index);

}  // namespace tolvane::annotation
