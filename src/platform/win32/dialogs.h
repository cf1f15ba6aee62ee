// The save dialog and the message box, as Windows' own.
#pragma once

#include "platform/win32/win.h"

#include <utility>

#include "platform/output.h"
#include "platform/win32/placement.h"

namespace tolvane::platform::win32 {

// GetSaveFileNameW, with the filters of the request and the one chosen,
// centred on the monitor that holds `region`.
class WinSaveDialog : public SaveDialog {
 public:
  explicit WinSaveDialog(HWND owner, RegionOnScreen region = {}) : owner_(owner), region_(std::move(region)) {}
  std::optional<SaveAnswer> run(const SaveRequest& request) override;

 private:
  HWND owner_;
  RegionOnScreen region_;
};

// MessageBoxW, centred as the save dialog is.
class WinMessageBox : public MessageBox {
 public:
  explicit WinMessageBox(HWND owner, RegionOnScreen region = {}) : owner_(owner), region_(std::move(region)) {}
  void information(const std::string& title, const std::string& text) override;

 private:
  HWND owner_;
  RegionOnScreen region_;
};

// The filter string GetSaveFileNameW takes: description and pattern of each
// filter, each ended by a NUL, and a NUL after the last.
std::wstring filterString(const std::vector<SaveFilter>& filters);

}  // namespace tolvane::platform::win32
