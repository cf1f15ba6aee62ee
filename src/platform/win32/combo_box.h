// A combo box control as a child COMBOBOX window (a drop-down list), kept in
// step with its model: place, items, the chosen item, font size, visibility.
// The size chooser's list is hidden as designed; only its drop-down shows.
#pragma once

#include "platform/win32/win.h"

#include <optional>
#include <string>
#include <vector>

#include "platform/controls.h"

namespace tolvane::platform::win32 {

class WinComboBox {
 public:
  WinComboBox(HWND parent, int id);
  ~WinComboBox();
  WinComboBox(const WinComboBox&) = delete;
  WinComboBox& operator=(const WinComboBox&) = delete;

  HWND handle() const { return hwnd_; }
  // `area`: the control's place in the parent's pixels; `font` stays the caller's.
  void mirror(const ControlState& s, const RECT& area, bool shown, HFONT font);
  bool dropped() const;
  void showDropDown(bool show);
  // A notification the combo box sent its parent (CBN_...): the item the
  // user chose, when this one says an item was chosen.
  std::optional<std::string> notified(int code);
  // A key while the list is open is the list's (arrows, Enter, Esc); returns
  // whether it took the key.
  bool key(WPARAM vk);

 private:
  void selectModelText();
  std::string itemText(int index) const;

  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  std::vector<std::string> items_;
  std::string text_;  // the model's text
  bool fromModel_ = false;
};

}  // namespace tolvane::platform::win32
