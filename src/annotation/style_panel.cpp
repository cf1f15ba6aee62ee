#include "annotation/style_panel.h"

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <string>

namespace tolvane::annotation {

using platform::Ctl;
using platform::PictureId;

namespace {
constexpr float kMaxPoints = 400;  // larger sizes would not fit any screen

bool parseSize(const std::string& text, float& out) {
  const auto b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return false;
  const auto e = text.find_last_not_of(" \t");
  const std::string t = text.substr(b, e - b + 1);
  char* end = nullptr;
  errno = 0;
  const float v = std::strtof(t.c_str(), &end);
  if (errno != 0 || end != t.c_str() + t.size() || !std::isfinite(v) || v <= 0 || v > kMaxPoints) return false;
  out = v;
  return true;
}
}  // namespace

void StylePanel::takeSize(const std::string& text) {
  if (float v = 0; parseSize(text, v)) style_.textSize = v;
}

void StylePanel::swatchClicked(int index) {
  if (index < 0 || index >= static_cast<int>(layout::kPalette.size())) return;  // the big swatch shows the colour
  style_.color = layout::kPalette[static_cast<std::size_t>(index)];
  c_(Ctl::Swatch, 16).setBackColor(style_.color);
}

void StylePanel::clearSwatchBorders() {
  for (int i = 0; i < 16; ++i) c_(Ctl::Swatch, i).setBorderStyle(0);
}

void StylePanel::swatchHovered(int index) {
  if (index == 16)
    clearSwatchBorders();
  else
    c_(Ctl::Swatch, index).setBorderStyle(1);
}

void StylePanel::colorPanelHovered() { clearSwatchBorders(); }

void StylePanel::sizeChooserPressed() {
  c_(Ctl::SizeChooser).setPicture(c_(Ctl::ChooserFace, 2).picture());
  toggleSizeList(c_(Ctl::SizeList).ref());
}

void StylePanel::sizeChooserHovered() { c_(Ctl::SizeChooser).setPicture(c_(Ctl::ChooserFace, 1).picture()); }

void StylePanel::sizePanelHovered() { c_(Ctl::SizeChooser).setPicture(c_(Ctl::ChooserFace, 0).picture()); }

void StylePanel::sizeListChosen() {
  const std::string chosen = c_(Ctl::SizeList).text();
  c_(Ctl::SizeBox).setText(chosen);
  takeSize(chosen);
}

void StylePanel::sizeBoxChanged(const std::string& text) {
  c_(Ctl::SizeBox).takeTextFromUser(text);
  takeSize(text);
}

void StylePanel::toggleSizeList(platform::CtlRef list) {
  auto* view = c_.view();
  if (!view) return;
  view->showComboDropDown(list, !view->comboDropped(list));
}

}  // namespace tolvane::annotation
