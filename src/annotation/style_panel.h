// The style panel: the current colour (Pcolor(16)'s background) and the
// font size (Text1's text).
#pragma once

#include <string>

#include "layout/controls.h"

namespace tolvane::annotation {

class StylePanel {
 public:
  explicit StylePanel(layout::Controls& c) : c_(c) {}

  ColorRef currentColor() const;
  // Text1 read as a size in points. A text that is not a positive number is
  // ignored and the last good size stays.
  float fontSize();

  void pcolorMouseUp(int index);
  void pcolorMouseMove(int index);
  void picColorMouseMove();
  void picComboxMouseDown();
  void picComboxMouseMove();
  void picFontMouseMove();
  void combo1Click();
  // The user typed into Text1.
  void text1Changed(const std::string& text);
  // Opens Combo1's drop-down list when it is closed, closes it when open.
  void OpenCombo(platform::CtlRef Chwnd);

 private:
  void clearSwatchBorders();
  layout::Controls& c_;
  float lastSize_ = 11;
};

}  // namespace tolvane::annotation
