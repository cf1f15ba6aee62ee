// The style panel: the current colour (Swatch(16)'s background) and the
// font size (SizeBox's text).
#pragma once

#include <string>

#include "layout/controls.h"

namespace tolvane::annotation {

class StylePanel {
 public:
  explicit StylePanel(layout::Controls& c) : c_(c) {}

  ColorRef currentColor() const;
  // SizeBox read as a size in points. A text that is not a positive number is
  // ignored and the last good size stays.
  float fontSize();

  void swatchClicked(int index);
  void swatchHovered(int index);
  void colorPanelHovered();
  void sizeChooserPressed();
  void sizeChooserHovered();
  void sizePanelHovered();
  void sizeListChosen();
  // The user typed into SizeBox.
  void sizeBoxChanged(const std::string& text);
  // Opens SizeList's drop-down list when it is closed, closes it when open.
  void toggleSizeList(platform::CtlRef Chwnd);

 private:
  void clearSwatchBorders();
  layout::Controls& c_;
  float lastSize_ = 11;
};

}  // namespace tolvane::annotation
