// The save dialog as -p sets it up.
#pragma once

#include <optional>
#include <string>

#include "platform/output.h"

namespace tolvane::app {

// With a folder, the dialog starts there; with a file, every save answers
// with that file at once and no dialog is shown (the file's extension picks
// the format); with neither, the dialog is left as it is.
class PathSaveDialog : public platform::SaveDialog {
 public:
  // Relative paths are taken from the current folder, now.
  PathSaveDialog(platform::SaveDialog& dialog, const std::string& folder, const std::string& file);
  std::optional<platform::SaveAnswer> run(const platform::SaveRequest& request) override;

 private:
  platform::SaveDialog& dialog_;
  std::string folder_, file_;
};

}  // namespace tolvane::app
