#include "platform/win32/dialogs.h"

#include <commdlg.h>

#include <utility>
#include <vector>

#include "platform/win32/wide.h"

namespace tolvane::platform::win32 {

std::wstring filterString(const std::vector<SaveFilter>& filters) {
  std::wstring out;
  for (const SaveFilter& f : filters) {
    out += widen(f.description);
    out += L'\0';
    out += widen(f.pattern);
    out += L'\0';
  }
  out += L'\0';
  return out;
}

std::optional<SaveAnswer> WinSaveDialog::run(const SaveRequest& request) {
  const std::wstring filters = filterString(request.filters);
  const std::wstring title = widen(request.title), folder = widen(request.folder),
                     extension = widen(request.defaultExtension);
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring name = widen(request.fileName);
  name.copy(file.data(), std::min(name.size(), file.size() - 1));

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner_;
  ofn.lpstrFilter = filters.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(request.selectedFilter);
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrTitle = title.c_str();
  ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  const CentredDialogs centred(workAreaFor(region_ ? region_() : std::nullopt));
  if (!GetSaveFileNameW(&ofn)) return std::nullopt;
  return SaveAnswer{narrow(file.data()), static_cast<int>(ofn.nFilterIndex)};
}

void WinMessageBox::information(const std::string& title, const std::string& text) {
  const CentredDialogs centred(workAreaFor(region_ ? region_() : std::nullopt));
  MessageBoxW(owner_, widen(text).c_str(), widen(title).c_str(), MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
}

}  // namespace tolvane::platform::win32
