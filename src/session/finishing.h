// The three ways a capture ends with the region taken: copy and close, save,
// and the double click (copy, then offer to save). What shows meanwhile is
// the chrome's; taking the picture and writing it is the finisher's.
#pragma once

#include <functional>

#include "annotation/annotator.h"
#include "output/finish.h"
#include "selection/chrome.h"
#include "selection/region.h"

namespace tolvane::session {

class Finishing {
 public:
  Finishing(selection::Chrome& chrome, const selection::Region& region, annotation::Annotator& annotator,
            output::Finisher& finisher, std::function<void()> close)
      : chrome_(chrome), region_(region), annotator_(annotator), finisher_(finisher), close_(std::move(close)) {}

  // The region to the clipboard, then the window closes. Nothing captured
  // (an empty region): the capture stays open as it was.
  void copyAndClose();
  // The region to the clipboard, the save dialog, then the window closes.
  // The toolbar and the frame come back for the dialog.
  void save();
  // A double click on the region: as save, with the controls left hidden.
  void byDoubleClick();

 private:
  // Hides what shows around the region and takes it; whether it was taken.
  bool capture(output::Finisher::Then then);

  selection::Chrome& chrome_;
  const selection::Region& region_;
  annotation::Annotator& annotator_;
  output::Finisher& finisher_;
  std::function<void()> close_;
};

}  // namespace tolvane::session
