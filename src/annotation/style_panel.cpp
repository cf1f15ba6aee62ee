#include "annotation/style_panel.h"

#include <cerrno>
#include <cmath>
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

ColorRef StylePanel::currentColor() const { return c_(Ctl::Swatch, 16).backColor(); }

float StylePanel::fontSize() {
  float v = 0;
  if (parseSize(c_(Ctl::SizeBox).text(), v)) lastSize_ = v;
  return lastSize_;
}

void StylePanel::swatchClicked(int index) {
  c_(Ctl::Swatch, 16).setBackColor(c_(Ctl::Swatch, index).backColor());
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
  c_(Ctl::SizeBox).setText(c_(Ctl::SizeList).text());
  fontSize();
}

void StylePanel::sizeBoxChanged(const std::string& text) {
  c_(Ctl::SizeBox).takeTextFromUser(text);
  fontSize();
}

void StylePanel::toggleSizeList(platform::CtlRef Chwnd) {
  auto* view = c_.view();
  if (!view) return;
  const bool state = view->comboDropped(Chwnd);
  view->showComboDropDown(Chwnd, !state);
}

}  // namespace tolvane::annotation
