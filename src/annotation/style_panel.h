// The style panel: it owns the current style (colour and text size); the
// big swatch Swatch(16) and the size box SizeBox show it.
#pragma once

#include <string>

#include "annotation/style.h"
#include "layout/controls.h"

namespace tolvane::annotation {

class StylePanel {
 public:
  explicit StylePanel(layout::Controls& c) : c_(c) {}

  const Style& style() const { return style_; }

  // Swatch(index) clicked: its palette colour becomes the style's.
  void swatchClicked(int index);
  void swatchHovered(int index);
  void colorPanelHovered();
  void sizeChooserPressed();
  void sizeChooserHovered();
  void sizePanelHovered();
  // An item of SizeList chosen: its size shows in SizeBox and becomes the style's.
  void sizeListChosen();
  // The user typed into SizeBox. A text that is not a positive number is
  // ignored and the last good size stays.
  void sizeBoxChanged(const std::string& text);
  // Opens SizeList's drop-down list when it is closed, closes it when open.
  void toggleSizeList(platform::CtlRef list);

 private:
  void clearSwatchBorders();
  void takeSize(const std::string& text);
  layout::Controls& c_;
  Style style_;
};

}  // namespace tolvane::annotation
