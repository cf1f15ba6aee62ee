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

ColorRef StylePanel::currentColor() const { return c_(Ctl::Pcolor, 16).backColor(); }

float StylePanel::fontSize() {
  float v = 0;
  if (parseSize(c_(Ctl::Text1).text(), v)) lastSize_ = v;
  return lastSize_;
}

void StylePanel::pcolorMouseUp(int index) {
  c_(Ctl::Pcolor, 16).setBackColor(c_(Ctl::Pcolor, index).backColor());
}

void StylePanel::clearSwatchBorders() {
  for (int i = 0; i < 16; ++i) c_(Ctl::Pcolor, i).setBorderStyle(0);
}

void StylePanel::pcolorMouseMove(int index) {
  if (index == 16)
    clearSwatchBorders();
  else
    c_(Ctl::Pcolor, index).setBorderStyle(1);
}

void StylePanel::picColorMouseMove() { clearSwatchBorders(); }

void StylePanel::picComboxMouseDown() {
  c_(Ctl::PicCombox).setPicture(c_(Ctl::Image4, 2).picture());
  OpenCombo(c_(Ctl::Combo1).ref());
}

void StylePanel::picComboxMouseMove() { c_(Ctl::PicCombox).setPicture(c_(Ctl::Image4, 1).picture()); }

void StylePanel::picFontMouseMove() { c_(Ctl::PicCombox).setPicture(c_(Ctl::Image4, 0).picture()); }

void StylePanel::combo1Click() {
  c_(Ctl::Text1).setText(c_(Ctl::Combo1).text());
  fontSize();
}

void StylePanel::text1Changed(const std::string& text) {
  c_(Ctl::Text1).takeTextFromUser(text);
  fontSize();
}

void StylePanel::OpenCombo(platform::CtlRef Chwnd) {
  auto* view = c_.view();
  if (!view) return;
  const bool state = view->comboDropped(Chwnd);
  view->showComboDropDown(Chwnd, !state);
}

}  // namespace tolvane::annotation
