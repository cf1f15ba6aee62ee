#include "platform/raster_surface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/geometry.h"

namespace tolvane::platform {
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
      const int h = static_cast<int>(std::ceil(op.points * 96.0 / 72.0 * 1.6)) + 2;
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

namespace {

// The parts of `a` outside `b`: up to four bands.
std::vector<IRect> subtract(const IRect& a, const IRect& b) {
  if (a.empty()) return {};
  const IRect i = a.intersected(b);
  if (i.empty()) return {a};
  std::vector<IRect> out;
  if (a.top < i.top) out.push_back({a.left, a.top, a.right, i.top});
  if (i.bottom < a.bottom) out.push_back({a.left, i.bottom, a.right, a.bottom});
  if (a.left < i.left) out.push_back({a.left, i.top, i.left, i.bottom});
  if (i.right < a.right) out.push_back({i.right, i.top, a.right, i.bottom});
  return out;
}

}  // namespace

RasterSurface::RasterSurface(int width, int height, const TextEngine* text, Presenter* presenter)
    : width_(width), height_(height), text_(text), presenter_(presenter) {
  // Black until something is drawn; no pixels are allocated for that.
  lazy_ = Lazy{Image(), std::nullopt, std::nullopt, {}, {}};
}

void RasterSurface::invalidate(const IRect& r) {
  const IRect c = r.intersected(rect());
  if (presenter_ && !c.empty()) presenter_->invalidate(c);
}

void RasterSurface::settleDamage() {
  if (!lazyDamagePending_) return;
  lazyDamagePending_ = false;
  if (lazy_ && presented_ && lazy_->base.sharesWith(presented_->base) && lazy_->veil == presented_->veil &&
      lazy_->veil) {
    // Only where the old and new undimmed areas do not overlap, and the patches, differ.
    const IRect oldHole = presented_->hole.value_or(IRect{}), newHole = lazy_->hole.value_or(IRect{});
    for (const IRect& r : subtract(oldHole, newHole)) invalidate(r);
    for (const IRect& r : subtract(newHole, oldHole)) invalidate(r);
    for (const Lazy* l : {&*presented_, &*lazy_}) {
      if (!l->patch.isNull())
        invalidate({l->patchAt.left, l->patchAt.top, l->patchAt.left + l->patch.width(),
                    l->patchAt.top + l->patch.height()});
    }
  } else {
    invalidate(rect());
  }
  presented_ = lazy_;
}

void RasterSurface::materialize() {
  if (!lazy_) return;
  settleDamage();  // the screen already shows this content; later damage is op by op
  const Lazy l = std::move(*lazy_);
  lazy_.reset();
  presented_.reset();
  if (!l.veil && l.patch.isNull() && l.base.width() == width_ && l.base.height() == height_) {
    canvas_ = l.base;  // shared until written
    return;
  }
  canvas_ = Image(width_, height_);
  raster::flatten(l, rect(), canvas_);
}

void RasterSurface::draw(DrawOp op) {
  if (!persistent_) {
    invalidate(raster::bounds(op, text_));
    transient_.push_back(std::move(op));
    return;
  }
  materialize();
  raster::applyOp(canvas_, 0, 0, op, text_);
  invalidate(raster::bounds(op, text_));
}

void RasterSurface::setPersistent(bool on) {
  persistent_ = on;
  // The next repaint of the window shows the canvas alone: the preview goes.
  if (on) RasterSurface::clear();
}

void RasterSurface::clear() {
  for (const DrawOp& op : transient_) invalidate(raster::bounds(op, text_));
  transient_.clear();
}

void RasterSurface::refresh() {
  settleDamage();
  if (presenter_) presenter_->flush();
}

Image RasterSurface::image() const {
  if (lazy_ && !lazy_->veil && lazy_->patch.isNull() && lazy_->base.width() == width_ &&
      lazy_->base.height() == height_)
    return lazy_->base;
  if (lazy_) {
    Image out(width_, height_);
    composeInto(out, rect(), false);
    return out;
  }
  return canvas_;
}

Image RasterSurface::image(const IRect& area) const {
  if (!lazy_) return canvas_.copy(area);
  Image out(area.width(), area.height());
  composeInto(out, area, false);
  return out;
}

void RasterSurface::setPicture(const Image& picture) { RasterSurface::setLayeredPicture(LayeredPicture{picture, {}, {}, {}, {}}); }

void RasterSurface::setLayeredPicture(const LayeredPicture& picture) {
  // The whole canvas becomes the picture; what it does not cover is black.
  picture_ = picture;
  canvas_ = Image();
  lazy_ = picture;
  if (lazy_->base.width() != width_ || lazy_->base.height() != height_) {
    Image full(width_, height_);
    full.blit(0, 0, lazy_->base, 0, 0, width_, height_);
    lazy_->base = full;
  }
  lazyDamagePending_ = true;
}

Image RasterSurface::picture() const {
  const LayeredPicture& p = picture_;
  if (!p.veil && p.patch.isNull()) return p.base;
  Image out(p.base.width(), p.base.height());
  raster::flatten(p, out.rect(), out);
  return out;
}

void RasterSurface::line(float x1, float y1, float x2, float y2, ColorRef color, bool box) {
  DrawOp op;
  op.type = box ? DrawOp::Type::Box : DrawOp::Type::Line;
  op.x1 = x1; op.y1 = y1; op.x2 = x2; op.y2 = y2;
  op.color = argbFromColorRef(color);
  draw(std::move(op));
}

float RasterSurface::textWidth(std::string_view utf8) const {
  return text_ ? text_->width(utf8, fontSize_) : 0.0f;
}

void RasterSurface::bitBlt(int x, int y, int w, int h, const Image& src, int sx, int sy) {
  if (persistent_ && lazyEnabled_) {
    const bool whole = x == 0 && y == 0 && sx == 0 && sy == 0 && w >= width_ && h >= height_ &&
                       src.width() == width_ && src.height() == height_;
    if (whole) {
      if (!canvas_.isNull()) canvas_ = Image();  // let the old pixels go
      lazy_ = Lazy{src, std::nullopt, std::nullopt, {}, {}};
      lazyDamagePending_ = true;
      return;
    }
    if (lazy_ && lazy_->veil && !lazy_->hole && lazy_->patch.isNull() && src.sharesWith(lazy_->base) && x == sx &&
        y == sy) {
      lazy_->hole = IRect{x, y, x + w, y + h}.intersected(rect());
      lazyDamagePending_ = true;
      return;
    }
  }
  DrawOp op;
  op.type = DrawOp::Type::Blit;
  op.rect = {x, y, x + std::max(w, 0), y + std::max(h, 0)};
  op.source = src;
  op.sx = sx;
  op.sy = sy;
  draw(std::move(op));
}

void RasterSurface::fillArgb(Argb color, float left, float top, float width, float height) {
  DrawOp op;
  op.type = DrawOp::Type::Fill;
  op.x1 = left; op.y1 = top; op.x2 = width; op.y2 = height;
  op.color = color;
  if (persistent_ && lazyEnabled_ && lazy_ && !lazy_->veil && !lazy_->hole && lazy_->patch.isNull()) {
    const IRect r = raster::bounds(op, text_);
    if (r.left <= 0 && r.top <= 0 && r.right >= width_ && r.bottom >= height_) {
      lazy_->veil = color;
      lazyDamagePending_ = true;
      return;
    }
  }
  draw(std::move(op));
}

void RasterSurface::composeInto(Image& out, const IRect& area, bool withTransient) const {
  if (lazy_) {
    raster::flatten(*lazy_, area, out);
  } else {
    out.blit(0, 0, canvas_, area.left, area.top, area.width(), area.height());
  }
  if (!withTransient) return;
  for (const DrawOp& op : transient_)
    if (!raster::bounds(op, text_).intersected(area).empty()) raster::applyOp(out, area.left, area.top, op, text_);
}

Image RasterSurface::compose(const IRect& area) const {
  Image out(area.width(), area.height());
  composeInto(out, area, true);
  return out;
}

ColorRef RasterSurface::getPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return -1;
  if (!lazy_ && transient_.empty()) return colorRefFromArgb(canvas_.pixel(x, y));
  return colorRefFromArgb(compose({x, y, x + 1, y + 1}).pixel(0, 0));
}

void RasterSurface::ellipse(int left, int top, int right, int bottom, ColorRef color) {
  DrawOp op;
  op.type = DrawOp::Type::Ellipse;
  op.rect = {left, top, right, bottom};
  op.color = argbFromColorRef(color);
  draw(std::move(op));
}

void RasterSurface::textOut(int x, int y, std::string_view bytes, int count) {
  DrawOp op;
  op.type = DrawOp::Type::Text;
  op.rect = {x, y, x, y};
  op.text = std::string(bytes.substr(0, static_cast<std::size_t>(std::clamp<int>(count, 0, bytes.size()))));
  op.points = fontSize_;
  op.color = argbFromColorRef(textColor_);
  draw(std::move(op));
}

}  // namespace tolvane::platform
