#include "platform/win32/text_engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/win32/wide.h"

namespace tolvane::platform::win32 {

GdiTextEngine::GdiTextEngine() : dc_(CreateCompatibleDC(nullptr)) {}

GdiTextEngine::~GdiTextEngine() {
  if (font_) DeleteObject(font_);
  DeleteDC(dc_);
}

// Tahoma: on Windows and in Wine alike; its font link supplies the Chinese glyphs.
HFONT GdiTextEngine::font(float points) const {
  if (font_ && fontPoints_ == points) return font_;
  if (font_) DeleteObject(font_);
  const int pixels = static_cast<int>(std::lround(points * 96.0 / 72.0));
  font_ = CreateFontW(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
  fontPoints_ = points;
  return font_;
}

float GdiTextEngine::width(std::string_view utf8, float points) const {
  const std::wstring text = widen(utf8);
  SIZE size{};
  HGDIOBJ old = SelectObject(dc_, font(points));
  GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc_, old);
  return static_cast<float>(size.cx);
}

// The text is drawn on a copy of the pixels under it in a DIB section, so
// its smoothed edges blend with what is there, and copied back.
void GdiTextEngine::draw(Image& target, int originX, int originY, int x, int y, std::string_view utf8,
                         float points, ColorRef color) const {
  const std::wstring text = widen(utf8);
  if (text.empty()) return;
  const int w = static_cast<int>(std::ceil(width(utf8, points))) + 2;
  const int h = static_cast<int>(std::ceil(lineHeight(points)));
  const IRect area = IRect{x - originX, y - originY, x - originX + w, y - originY + h}.intersected(target.rect());
  if (area.empty()) return;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), area.width(), -area.height(), 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib) return;
  auto* px = static_cast<Argb*>(bits);
  for (int row = 0; row < area.height(); ++row)
    std::memcpy(px + static_cast<std::size_t>(row) * area.width(), target.constScanLine(area.top + row) + area.left,
                static_cast<std::size_t>(area.width()) * sizeof(Argb));
  HGDIOBJ oldBitmap = SelectObject(dc_, dib);
  HGDIOBJ oldFont = SelectObject(dc_, font(points));
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, static_cast<COLORREF>(color));
  TextOutW(dc_, x - originX - area.left, y - originY - area.top, text.c_str(), static_cast<int>(text.size()));
  GdiFlush();
  for (int row = 0; row < area.height(); ++row) {
    Argb* to = target.scanLine(area.top + row) + area.left;
    const Argb* from = px + static_cast<std::size_t>(row) * area.width();
    for (int i = 0; i < area.width(); ++i) to[i] = from[i] | 0xFF000000u;
  }
  SelectObject(dc_, oldFont);
  SelectObject(dc_, oldBitmap);
  DeleteObject(dib);
}

}  // namespace tolvane::platform::win32
