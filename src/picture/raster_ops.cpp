// The rasterisers behind the canvas: lines, ellipses, text, copies and the
// veil, applied to plain pictures.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "picture/raster_surface.h"
#include "picture/rounding.h"

namespace tolvane::picture {
namespace raster {
namespace {

struct Plotter {
  Image& t;
  int ox, oy;
  Argb c;
  void operator()(int x, int y) const {
    x -= ox;
    y -= oy;
    if (x >= 0 && y >= 0 && x < t.width() && y < t.height()) t.scanLine(y)[x] = c;
  }
};

// Bresenham, both ends drawn.
void plotLine(const Plotter& p, int x0, int y0, int x1, int y1) {
  const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
  const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    p(x0, y0);
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * err;
    if (e2 >= dy) { err += dy; x0 += sx; }
    if (e2 <= dx) { err += dx; y0 += sy; }
  }
}

// Ellipse outline inside the inclusive box (x0, y0)-(x1, y1) (A. Zingl's rasteriser).
void plotEllipse(const Plotter& p, int x0, int y0, int x1, int y1) {
  long long a = std::abs(x1 - x0), b = std::abs(y1 - y0), b1 = b & 1;
  long long dx = 4 * (1 - a) * b * b, dy = 4 * (b1 + 1) * a * a;
  long long err = dx + dy + b1 * a * a, e2;
  if (x0 > x1) { x0 = x1; x1 += static_cast<int>(a); }
  if (y0 > y1) y0 = y1;
  y0 += static_cast<int>((b + 1) / 2);
  y1 = y0 - static_cast<int>(b1);
  a *= 8 * a;
  b1 = 8 * b * b;
  do {
    p(x1, y0); p(x0, y0); p(x0, y1); p(x1, y1);
    e2 = 2 * err;
    if (e2 <= dy) { y0++; y1--; err += dy += a; }
    if (e2 >= dx || 2 * err > dy) { x0++; x1--; err += dx += b1; }
  } while (x0 <= x1);
  while (y0 - y1 < b) {
    p(x0 - 1, y0); p(x1 + 1, y0++);
    p(x0 - 1, y1); p(x1 + 1, y1--);
  }
}

IRect fillRect(const DrawOp& op) {
  return {roundEven(op.x1), roundEven(op.y1), roundEven(static_cast<double>(op.x1) + op.x2),
          roundEven(static_cast<double>(op.y1) + op.y2)};
}

}  // namespace

// out = (src * a + dst * (255 - a) + 127) / 255 per channel, two channels per
// 32-bit lane pair; every intermediate stays below 65536, and
// (x + 1 + (x >> 8)) >> 8 is x / 255 for such x. Written so the compiler vectorises it.
void veilRow(Argb* d, const Argb* s, int n, Argb color) {
  const std::uint32_t a = color >> 24, ia = 255 - a;
  const std::uint32_t addRB = (((color >> 16) & 0xFF) * a + 127) << 16 | ((color & 0xFF) * a + 127);
  const std::uint32_t addG = ((color >> 8) & 0xFF) * a + 127;
  for (int i = 0; i < n; ++i) {
    const std::uint32_t p = s[i];
    std::uint32_t rb = (p & 0x00FF00FFu) * ia + addRB;
    std::uint32_t g = ((p >> 8) & 0xFFu) * ia + addG;
    rb = ((rb + 0x00010001u + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    g = ((g + 1 + (g >> 8)) >> 8) & 0xFFu;
    d[i] = 0xFF000000u | rb | (g << 8);
  }
}

void veilFrom(Image& target, const Image& source, const IRect& area, Argb color) {
  const IRect c = area.intersected(target.rect()).intersected(source.rect());
  if (c.empty()) return;
  if (&source == &target) {
    Argb* b = target.bits();
    for (int y = c.top; y < c.bottom; ++y) {
      Argb* row = b + static_cast<std::size_t>(y) * target.width() + c.left;
      veilRow(row, row, c.width(), color);
    }
    return;
  }
  for (int y = c.top; y < c.bottom; ++y)
    veilRow(target.scanLine(y) + c.left, source.constScanLine(y) + c.left, c.width(), color);
}

void veil(Image& target, const IRect& area, Argb color) { veilFrom(target, target, area, color); }

void flatten(const LayeredPicture& p, const IRect& area, Image& out) {
  if (p.veil) {
    // Veil straight from the base into `out`, row by row.
    const IRect c = area.intersected(p.base.rect());
    for (int y = c.top; y < c.bottom; ++y)
      veilRow(out.scanLine(y - area.top) + (c.left - area.left), p.base.constScanLine(y) + c.left, c.width(), *p.veil);
    if (p.hole) {
      const IRect h = p.hole->intersected(area);
      if (!h.empty()) out.blit(h.left - area.left, h.top - area.top, p.base, h.left, h.top, h.width(), h.height());
    }
  } else {
    out.blit(0, 0, p.base, area.left, area.top, area.width(), area.height());
  }
  if (!p.patch.isNull()) {
    const IRect h = IRect{p.patchAt.left, p.patchAt.top, p.patchAt.left + p.patch.width(),
                          p.patchAt.top + p.patch.height()}.intersected(area);
    if (!h.empty())
      out.blit(h.left - area.left, h.top - area.top, p.patch, h.left - p.patchAt.left, h.top - p.patchAt.top,
               h.width(), h.height());
  }
}

IRect bounds(const DrawOp& op, const TextEngine* text) {
  switch (op.type) {
    case DrawOp::Type::Line:
    case DrawOp::Type::Box: {
      const int a = roundEven(op.x1), b = roundEven(op.y1), c = roundEven(op.x2), d = roundEven(op.y2);
      return {std::min(a, c), std::min(b, d), std::max(a, c) + 1, std::max(b, d) + 1};
    }
    case DrawOp::Type::Ellipse: {
      const IRect& r = op.rect;
      return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right) + 1,
              std::max(r.top, r.bottom) + 1};
    }
    case DrawOp::Type::Text: {
      if (!text || op.text.empty()) return {};
      const int w = static_cast<int>(std::ceil(text->width(op.text, op.points))) + 2;
      const int h = static_cast<int>(std::ceil(text->lineHeight(op.points))) + 2;
      return {op.rect.left - 1, op.rect.top - 1, op.rect.left + w, op.rect.top + h};
    }
    case DrawOp::Type::Blit:
      return op.rect;
    case DrawOp::Type::Fill:
      return fillRect(op);
  }
  return {};
}

void applyOp(Image& target, int ox, int oy, const DrawOp& op, const TextEngine* text) {
  const Plotter p{target, ox, oy, op.color};
  switch (op.type) {
    case DrawOp::Type::Line:
      plotLine(p, roundEven(op.x1), roundEven(op.y1), roundEven(op.x2), roundEven(op.y2));
      break;
    case DrawOp::Type::Box: {
      const int a = roundEven(op.x1), b = roundEven(op.y1), c = roundEven(op.x2), d = roundEven(op.y2);
      plotLine(p, a, b, c, b);
      plotLine(p, c, b, c, d);
      plotLine(p, c, d, a, d);
      plotLine(p, a, d, a, b);
      break;
    }
    case DrawOp::Type::Ellipse: {
      // The box's right and bottom are exclusive; an inverted box is normalised.
      const int l = std::min(op.rect.left, op.rect.right), r = std::max(op.rect.left, op.rect.right);
      const int t = std::min(op.rect.top, op.rect.bottom), b = std::max(op.rect.top, op.rect.bottom);
      if (r - l < 1 || b - t < 1) break;
      plotEllipse(p, l, t, r - 1, b - 1);
      break;
    }
    case DrawOp::Type::Text:
      if (text && !op.text.empty())
        text->draw(target, ox, oy, op.rect.left, op.rect.top, op.text, op.points, colorRefFromArgb(op.color));
      break;
    case DrawOp::Type::Blit:
      target.blit(op.rect.left - ox, op.rect.top - oy, op.source, op.sx, op.sy, op.rect.width(),
                  op.rect.height());
      break;
    case DrawOp::Type::Fill: {
      IRect r = fillRect(op);
      r = {r.left - ox, r.top - oy, r.right - ox, r.bottom - oy};
      veil(target, r, op.color);
      break;
    }
  }
}

}  // namespace raster

}  // namespace tolvane::picture
