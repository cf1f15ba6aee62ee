// The pictures the controls show (the toolbar's icons, the handle, the size
// chooser's three faces), drawn smoothed with GDI+ from their shared
// description (layout/icons.h), once per scale, and kept for the run.
#pragma once

#include "platform/win32/win.h"

#include <cstdint>

#include "layout/icons.h"
#include "platform/controls.h"

namespace tolvane::platform::win32 {

// A picture as a top-down 32-bit DIB section of premultiplied BGRA pixels,
// ready for AlphaBlend.
struct Picture {
  int width = 0, height = 0;  // device pixels
  HBITMAP bitmap = nullptr;
  const std::uint32_t* pixels = nullptr;  // 0xAARRGGBB, premultiplied, row after row
};

// The picture `id` at `scale` device pixels per pixel; null for PictureId::None
// or when it could not be drawn.
const Picture* picture(PictureId id, double scale);

// `icon` drawn smoothed at `scale` device pixels per pixel into a new DIB
// section the caller owns (DeleteObject); empty when it could not be drawn.
Picture drawIcon(const layout::Icon& icon, double scale);

// Draws `id` with its top-left corner at (x, y) of `dc`, blended over what is there.
void drawPicture(HDC dc, PictureId id, int x, int y, double scale);

}  // namespace tolvane::platform::win32
