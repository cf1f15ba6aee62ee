// The toolbar: its four tools, undo and redo, and the hover frames behind
// its nine buttons. The three buttons that finish are the session's.
#pragma once

#include "annotation/annotator.h"
#include "annotation/history.h"
#include "annotation/tool_button.h"
#include "selection/chrome.h"
#include "selection/region.h"

namespace tolvane::annotation {

class Toolbar {
 public:
  Toolbar(layout::Controls& c, selection::Region& region, selection::Chrome& chrome, Annotator& annotator,
          History& history, picture::Surface& dc, platform::Pointer& pointer)
      : c_(c), region_(region), chrome_(chrome), annotator_(annotator), history_(history), dc_(dc),
        pointer_(pointer) {}

  // A tool, undo or redo; the buttons that finish do nothing here.
  void click(ToolButton button);
  void buttonHovered(ToolButton button);  // hover frame behind the button
  void toolbarHovered();
  void stylePanelHovered();

 private:
  void chooseTool(ToolButton button);
  void undo();
  void hideHoverFrames();

  layout::Controls& c_;
  selection::Region& region_;
  selection::Chrome& chrome_;
  Annotator& annotator_;
  History& history_;
  picture::Surface& dc_;
  platform::Pointer& pointer_;
  // The last button clicked: the same tool again hides the style panel.
  ToolButton lastButton_ = ToolButton::Undo;
};

}  // namespace tolvane::annotation
