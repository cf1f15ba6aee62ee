#include "picture/raster_surface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>


namespace tolvane::picture {
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

}  // namespace tolvane::picture
