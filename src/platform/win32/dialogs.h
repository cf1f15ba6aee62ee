// The save dialog and the message box, as Windows' own.
#pragma once

#include "platform/win32/win.h"

#include "platform/output.h"

namespace tolvane::platform::win32 {

// GetSaveFileNameW, with the filters of the request and the one chosen.
class WinSaveDialog : public SaveDialog {
 public:
  explicit WinSaveDialog(HWND owner) : owner_(owner) {}
  std::optional<SaveAnswer> run(const SaveRequest& request) override;

 private:
  HWND owner_;
};

class WinMessageBox : public MessageBox {
 public:
  explicit WinMessageBox(HWND owner) : owner_(owner) {}
  void information(const std::string& title, const std::string& text) override;

 private:
  HWND owner_;
};

// The filter string GetSaveFileNameW takes: description and pattern of each
// filter, each ended by a NUL, and a NUL after the last.
std::wstring filterString(const std::vector<SaveFilter>& filters);

}  // namespace tolvane::platform::win32
