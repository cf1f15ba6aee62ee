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
  void picture1MouseMove();
  void picture2MouseMove();

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

// The tool a button's tooltip names.
session::Tool toolFromTooltip(std::string_view tooltip);

}  // namespace tolvane::annotation
