// The window's drawing model over an in-memory canvas, shared by the real
// window and the tests so both give the same pixels.
//
// Drawing ops are data: the same op is applied to the canvas when persistence
// is on, or kept in a transient layer shown over the canvas when it is off.
//
// The selection repaint (copy all of the frozen screen, veil it all, copy the
// selection back) is recorded lazily and brought into the canvas at the next
// read, touching only the old and new selection when the previous repaint had
// the same source and veil. The result is the same as doing it in full.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "picture/raster_host.h"
#include "picture/surface.h"

namespace tolvane::picture {

struct DrawOp {
  enum class Type { Line, Box, Ellipse, Text, Blit, Fill } type = Type::Line;
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // Line/Box ends; Fill rect as l, t, w, h
  IRect rect;                            // Ellipse box; Blit destination
  Argb color = 0;                        // pixel colour, or the fill's ARGB
  std::string text;
  float points = 0;
  Image source;  // Blit source
  int sx = 0, sy = 0;
};

// Rasterisers, also used by tests. `origin` is the window position of target's (0, 0).
namespace raster {
void applyOp(Image& target, int originX, int originY, const DrawOp& op, const TextEngine* text);
IRect bounds(const DrawOp& op, const TextEngine* text);
void veil(Image& target, const IRect& area, Argb color);  // alpha source-over
void veilFrom(Image& target, const Image& source, const IRect& area, Argb color);  // target = veil(source)
void veilRow(Argb* target, const Argb* source, int count, Argb color);
// The picture's pixels in `area` (window coordinates) into `out` at (0, 0).
void flatten(const LayeredPicture& p, const IRect& area, Image& out);
}  // namespace raster

class RasterSurface : public Surface {
 public:
  RasterSurface(int width, int height, const TextEngine* text, Presenter* presenter);

  // Surface
  void setPersistent(bool on) override;
  bool persistent() const override { return persistent_; }
  void clear() override;
  void refresh() override;
  Image image() const override;
  Image image(const IRect& area) const override;
  void setPicture(const Image& picture) override;
  void setLayeredPicture(const LayeredPicture& picture) override;
  Image picture() const override;
  void line(float x1, float y1, float x2, float y2, ColorRef color, bool box) override;
  void setFontSize(float points) override { fontSize_ = points; }
  float fontSize() const override { return fontSize_; }
  float textWidth(std::string_view utf8) const override;
  void bitBlt(int x, int y, int w, int h, const Image& src, int sx, int sy) override;
  ColorRef getPixel(int x, int y) const override;
  void ellipse(int left, int top, int right, int bottom, ColorRef color) override;
  void setTextColor(ColorRef color) override { textColor_ = color; }
  void textOut(int x, int y, std::string_view bytes, int count) override;
  void fillArgb(Argb color, float left, float top, float width, float height) override;

  // For the view.
  int width() const { return width_; }
  int height() const { return height_; }
  IRect rect() const { return {0, 0, width_, height_}; }
  // What the window shows in `area`: the canvas plus the transient layer.
  Image compose(const IRect& area) const;
  // Hands the area changed by lazy repaints since the last call to the presenter.
  // The view calls it after every event; refresh() calls it too.
  void settleDamage();
  // Turns the lazy selection repaint off, for comparing against the plain path.
  void setLazyRepaint(bool on) { lazyEnabled_ = on; }
  // Bytes of pixel memory this surface holds apart from shared pictures.
  bool canvasAllocated() const { return !canvas_.isNull(); }

 private:
  using Lazy = LayeredPicture;
  void draw(DrawOp op);
  void materialize();
  void invalidate(const IRect& r);
  void composeInto(Image& out, const IRect& area, bool withTransient) const;

  int width_, height_;
  const TextEngine* text_;
  Presenter* presenter_;
  Image canvas_;  // null while lazy_ describes the content
  LayeredPicture picture_;
  bool persistent_ = true;
  bool lazyEnabled_ = true;
  std::vector<DrawOp> transient_;
  float fontSize_ = 9;
  ColorRef textColor_ = 0;
  std::optional<Lazy> lazy_;       // the content, when it is a selection repaint
  std::optional<Lazy> presented_;  // the lazy content last handed to the presenter
  bool lazyDamagePending_ = false;
};

}  // namespace tolvane::picture
