// Text glyphs for the canvas, and the fonts the window's controls share with it.
#pragma once

#include <QFont>
#include <QImage>

#include "picture/raster_host.h"

class QPaintDevice;

namespace tolvane::platform::qt {

// The families asked for, in order: the designed "宋体", then the CJK face
// that Debian installs (fonts-wqy-microhei).
QStringList cjkFamilies();

// A font of `points` at 96 dpi (pixels = points * 96 / 72), whatever the
// logical dpi of `device` is; nullptr means a 96-dpi picture.
QFont cjkFont(float points, const QPaintDevice* device = nullptr);

// A wrapper of `picture`'s pixels (no copy) at 96 dpi. The picture must not
// be resized or detached while the wrapper is used.
QImage wrapPicture(Image& picture);

// Text on the canvas, in device pixels: at a desktop scale s a font of n
// points is s times its size at 96 dpi, as large as the text box shows it.
class QtTextEngine : public picture::TextEngine {
 public:
  QtTextEngine();
  void setScale(double scale) { scale_ = scale > 0 ? scale : 1.0; }
  double scale() const { return scale_; }
  float width(std::string_view utf8, float points) const override;
  double lineHeight(float points) const override { return picture::TextEngine::lineHeight(points) * scale_; }
  void draw(Image& target, int originX, int originY, int x, int y, std::string_view utf8, float points,
            ColorRef color) const override;

 private:
  QImage metricsDevice_;  // 96 dpi, for measuring without a target
  double scale_ = 1.0;
};

}  // namespace tolvane::platform::qt
