// Text measured and drawn with GDI (GetTextExtentPoint32W, TextOutW).
#pragma once

#include "platform/win32/win.h"

#include "picture/raster_host.h"

namespace tolvane::platform::win32 {

class GdiTextEngine : public picture::TextEngine {
 public:
  GdiTextEngine();
  ~GdiTextEngine() override;
  GdiTextEngine(const GdiTextEngine&) = delete;
  GdiTextEngine& operator=(const GdiTextEngine&) = delete;

  float width(std::string_view utf8, float points) const override;
  void draw(Image& target, int originX, int originY, int x, int y, std::string_view utf8, float points,
            ColorRef color) const override;
  // A font of `points` at 96 dpi, kept for reuse; the engine owns it.
  HFONT font(float points) const;

 private:
  HDC dc_;
  mutable HFONT font_ = nullptr;
  mutable float fontPoints_ = 0;
};

}  // namespace tolvane::platform::win32
