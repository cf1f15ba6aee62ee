#include "session/finishing.h"

namespace tolvane::session {

bool Finishing::capture(output::Finisher::Then then) {
  chrome_.hiddenForCapture();
  // What is still being typed belongs in the picture: what shows is what is copied.
  annotator_.settle();
  return finisher_.captureRegion(region_.shape().pixels(), then);
}

void Finishing::copyAndClose() {
  if (!capture(output::Finisher::Then::Close)) {
    chrome_.restore();
    return;
  }
  close_();
}

void Finishing::save() {
  const bool captured = capture(output::Finisher::Then::AskToSave);
  chrome_.restore();
  if (!captured) return;  // nothing to save: the capture stays open
  finisher_.offerSave();
  close_();
}

void Finishing::byDoubleClick() {
  if (!capture(output::Finisher::Then::AskToSave)) {
    chrome_.restore();  // nothing captured: the capture stays open rather than ending empty
    return;
  }
  finisher_.offerSave();
  close_();
}

}  // namespace tolvane::session
