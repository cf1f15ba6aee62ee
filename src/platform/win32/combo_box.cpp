#include "platform/win32/combo_box.h"

#include <algorithm>

#include "platform/win32/wide.h"

namespace tolvane::platform::win32 {

WinComboBox::WinComboBox(HWND parent, int id) {
  hwnd_ = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 0, 0, 0, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

WinComboBox::~WinComboBox() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void WinComboBox::selectModelText() {
  const std::wstring wide = widen(text_);
  const LRESULT i = SendMessageW(hwnd_, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(wide.c_str()));
  SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(i == CB_ERR ? -1 : i), 0);
}

std::string WinComboBox::itemText(int index) const {
  const LRESULT n = SendMessageW(hwnd_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (n == CB_ERR) return {};
  std::wstring wide(static_cast<std::size_t>(n) + 1, L'\0');
  SendMessageW(hwnd_, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(wide.data()));
  wide.resize(static_cast<std::size_t>(n));
  return narrow(wide);
}

void WinComboBox::mirror(const ControlState& s, const RECT& area, bool shown, HFONT font) {
  if (!hwnd_) return;
  const bool itemsChanged = s.items != items_;
  if (itemsChanged) {
    SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : s.items) {
      const std::wstring wide = widen(item);
      SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }
    items_ = s.items;
  }
  if (font != font_) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  font_ = font;
  if (itemsChanged || s.text != text_) {
    text_ = s.text;
    selectModelText();
  }
  // A drop-down list's window holds its field and its list: tall enough
  // for every item, as the Qt build shows them.
  const auto field = static_cast<int>(SendMessageW(hwnd_, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
  const auto item = static_cast<int>(SendMessageW(hwnd_, CB_GETITEMHEIGHT, 0, 0));
  const int height = std::max<int>(area.bottom - area.top, field + 6) + item * static_cast<int>(items_.size()) + 2;
  MoveWindow(hwnd_, area.left, area.top, area.right - area.left, height, FALSE);
  ShowWindow(hwnd_, shown ? SW_SHOWNA : SW_HIDE);
}

bool WinComboBox::dropped() const { return hwnd_ && SendMessageW(hwnd_, CB_GETDROPPEDSTATE, 0, 0) != 0; }

void WinComboBox::showDropDown(bool show) {
  fromModel_ = true;
  SendMessageW(hwnd_, CB_SHOWDROPDOWN, show ? TRUE : FALSE, 0);
  fromModel_ = false;
}

// An item counts as chosen once, when the user ends the list with it (a
// click on it, or Enter), not while arrows only move through the list;
// when the list closes otherwise, it shows the model's item again.
std::optional<std::string> WinComboBox::notified(int code) {
  if (code == CBN_CLOSEUP) selectModelText();
  if (code != CBN_SELENDOK || fromModel_) return std::nullopt;
  const auto i = static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
  if (i < 0) return std::nullopt;
  text_ = itemText(i);  // the logic takes it as the list's text, with no echo back
  return text_;
}

bool WinComboBox::key(WPARAM vk) {
  if (!dropped()) return false;
  SendMessageW(hwnd_, WM_KEYDOWN, vk, 0);
  return true;
}

}  // namespace tolvane::platform::win32
