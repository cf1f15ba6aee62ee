// The window's drawing model: canvas, background picture, persistence switch,
// clear, refresh, image, lines, ellipses and text, pixel copies and reads,
// and the translucent fill. Coordinates are window pixels.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "picture/image.h"

namespace tolvane::picture {

// A window picture given in layers: `base`, veiled outside `hole` when `veil`
// is set, with `patch` on top at `patchAt`. Lets a picture that is mostly the
// veiled frozen screen be handed over without building every pixel.
struct LayeredPicture {
  Image base;
  std::optional<Argb> veil;
  std::optional<IRect> hole;  // undimmed area
  IRect patchAt;
  Image patch;
};

class Surface {
 public:
  virtual ~Surface() = default;

  // --- drawing model ---
  virtual void setPersistent(bool on) = 0;  // on: draw into the canvas; off: transient layer
  virtual bool persistent() const = 0;
  virtual void clear() = 0;    // drops the transient layer; the canvas shows unchanged
  virtual void refresh() = 0;  // shows the canvas's present content now
  virtual Image image() const = 0;                     // the canvas's content
  virtual Image image(const IRect& area) const = 0;    // the same in `area`; black outside the canvas
  virtual void setPicture(const Image& picture) = 0;   // background picture; refills the canvas
  virtual void setLayeredPicture(const LayeredPicture& picture) = 0;  // the same, given in layers
  virtual Image picture() const = 0;
  // Outline of the box with corners (x1, y1), (x2, y2), or the line between them.
  virtual void line(float x1, float y1, float x2, float y2, ColorRef color, bool box) = 0;
  virtual void setFontSize(float points) = 0;
  virtual float fontSize() const = 0;
  virtual float textWidth(std::string_view utf8) const = 0;

  // --- pixels ---
  // Copies src's (sx, sy, w, h) to (x, y).
  virtual void bitBlt(int x, int y, int w, int h, const Image& src, int sx, int sy) = 0;
  virtual ColorRef getPixel(int x, int y) const = 0;  // -1 outside
  // A one-pixel outline of the ellipse in the box, corners as given (right and
  // bottom exclusive; a mirrored box draws the same).
  virtual void ellipse(int left, int top, int right, int bottom, ColorRef color) = 0;
  virtual void setTextColor(ColorRef color) = 0;
  // Draws `count` bytes of UTF-8 text with its top-left at (x, y), transparent background.
  virtual void textOut(int x, int y, std::string_view bytes, int count) = 0;

  // --- translucent fill: 8-bit alpha source-over of an ARGB colour ---
  virtual void fillArgb(Argb color, float left, float top, float width, float height) = 0;
};

}  // namespace tolvane::picture
