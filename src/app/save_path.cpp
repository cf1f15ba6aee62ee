#include "app/save_path.h"

#include "platform/files.h"

namespace tolvane::app {

using platform::files::absolute;

PathSaveDialog::PathSaveDialog(platform::SaveDialog& dialog, const std::string& folder, const std::string& file)
    : dialog_(dialog), folder_(absolute(folder)), file_(absolute(file)) {}

std::optional<platform::SaveAnswer> PathSaveDialog::run(const platform::SaveRequest& request) {
  if (!file_.empty()) return platform::SaveAnswer{file_, request.selectedFilter};
  if (folder_.empty()) return dialog_.run(request);
  platform::SaveRequest inFolder = request;
  inFolder.folder = folder_;
  return dialog_.run(inFolder);
}

}  // namespace tolvane::app
