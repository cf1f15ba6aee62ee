// The toolbar's nine buttons: four tools, undo, redo, and three ways to
// finish; and the double click that finishes too.
#pragma once

#include <functional>

#include "annotation/annotator.h"
#include "annotation/history.h"
#include "annotation/tool_button.h"
#include "output/finish.h"
#include "selection/chrome.h"
#include "selection/region.h"

namespace tolvane::annotation {

class Toolbar {
 public:
  Toolbar(layout::Controls& c, selection::Region& region, selection::Chrome& chrome, Annotator& annotator,
          History& history, platform::Surface& dc, platform::Pointer& pointer, output::Finisher& finish,
          std::function<void()> close)
      : c_(c), region_(region), chrome_(chrome), annotator_(annotator), history_(history), dc_(dc),
        pointer_(pointer), finish_(finish), close_(std::move(close)) {}

  void click(ToolButton button);
  void buttonHovered(ToolButton button);  // hover frame behind the button
  void toolbarHovered();
  void stylePanelHovered();
  // A double click on the region: copies it and offers to save it.
  void finishByDoubleClick();

 private:
  void chooseTool(ToolButton button);
  void undo();
  void copyAndClose();
  void save();
  void hideHoverFrames();
  bool captureRegion(output::Finisher::Then then);

  layout::Controls& c_;
  selection::Region& region_;
  selection::Chrome& chrome_;
  Annotator& annotator_;
  History& history_;
  platform::Surface& dc_;
  platform::Pointer& pointer_;
  output::Finisher& finish_;
  std::function<void()> close_;
  // The last button clicked: the same tool again hides the style panel.
  ToolButton lastButton_ = ToolButton::Undo;
};

}  // namespace tolvane::annotation
