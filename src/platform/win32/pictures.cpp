#include "platform/win32/pictures.h"

#include <objidl.h>
#include <gdiplus.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <map>

#include "layout/icons.h"

namespace tolvane::platform::win32 {

namespace {

namespace gp = Gdiplus;

constexpr std::size_t kCount = static_cast<std::size_t>(PictureId::IconCopy) + 1;

gp::Color gpColor(ColorRef c) { return gp::Color(0xFF000000u | (argbFromColorRef(c) & 0xFFFFFFu)); }

// A pen with round caps and joins, as the icons' strokes have.
struct Pen {
  gp::Pen pen;
  explicit Pen(const layout::IconPen& p) : pen(gpColor(p.color), p.width) {
    pen.SetLineCap(gp::LineCapRound, gp::LineCapRound, gp::DashCapRound);
    pen.SetLineJoin(gp::LineJoinRound);
  }
};

// A figure's outline as a GDI+ path.
void buildPath(gp::GraphicsPath& path, const layout::IconFigure& f) {
  using Kind = layout::IconStep::Kind;
  gp::PointF at;
  for (const layout::IconStep& s : f.steps) {
    const gp::PointF to(s.to.x, s.to.y);
    switch (s.kind) {
      case Kind::MoveTo: path.StartFigure(); break;
      case Kind::LineTo: path.AddLine(at, to); break;
      case Kind::CubicTo: path.AddBezier(at, gp::PointF(s.c1.x, s.c1.y), gp::PointF(s.c2.x, s.c2.y), to); break;
      case Kind::Close: path.CloseFigure(); break;
    }
    if (s.kind != Kind::Close) at = to;
  }
  if (f.outline == layout::IconOutline::RoundedRect) {
    const float d = f.radius * 2;  // corner diameter
    path.AddArc(f.x, f.y, d, d, 180, 90);
    path.AddArc(f.x + f.w - d, f.y, d, d, 270, 90);
    path.AddArc(f.x + f.w - d, f.y + f.h - d, d, d, 0, 90);
    path.AddArc(f.x, f.y + f.h - d, d, d, 90, 90);
    path.CloseFigure();
  }
}

void drawFigure(gp::Graphics& g, const layout::IconFigure& f) {
  const gp::RectF box(f.x, f.y, f.w, f.h);
  gp::GraphicsPath path;
  buildPath(path, f);
  if (f.fill) {
    gp::SolidBrush brush(gpColor(*f.fill));
    if (f.outline == layout::IconOutline::Rect) g.FillRectangle(&brush, box);
    else if (f.outline == layout::IconOutline::Ellipse) g.FillEllipse(&brush, box);
    else g.FillPath(&brush, &path);
  }
  if (f.pen) {
    Pen pen(*f.pen);
    if (f.outline == layout::IconOutline::Rect) g.DrawRectangle(&pen.pen, box);
    else if (f.outline == layout::IconOutline::Ellipse) g.DrawEllipse(&pen.pen, box);
    else g.DrawPath(&pen.pen, &path);
  }
}

void draw(gp::Graphics& g, const layout::Icon& icon) {
  if (icon.background) g.Clear(gpColor(*icon.background));
  if (icon.mirrored) {
    g.TranslateTransform(static_cast<gp::REAL>(icon.width), 0);
    g.ScaleTransform(-1, 1);
  }
  for (const layout::IconFigure& f : icon.figures) drawFigure(g, f);
}

// Smoothing: each picture is drawn with hard edges at this many times its
// size in each direction, and every block of k x k pixels averaged into one.
// GDI+ smooths edges by itself on Windows but not under Wine; this way both
// give the same pixels, with 64 levels of coverage.
constexpr int kSupersample = 8;

// Averages k x k blocks of premultiplied pixels into `to` (w x h).
void shrink(const gp::BitmapData& from, int k, int w, int h, std::uint32_t* to) {
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint32_t sum[4] = {};
      for (int sy = 0; sy < k; ++sy) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const char*>(from.Scan0) +
                                                                 static_cast<std::ptrdiff_t>(y * k + sy) * from.Stride);
        for (int sx = 0; sx < k; ++sx) {
          const std::uint32_t px = row[x * k + sx];
          for (int c = 0; c < 4; ++c) sum[c] += (px >> (8 * c)) & 0xFFu;
        }
      }
      std::uint32_t out = 0;
      const std::uint32_t n = static_cast<std::uint32_t>(k * k);
      for (int c = 0; c < 4; ++c) out |= ((sum[c] + n / 2) / n) << (8 * c);
      to[static_cast<std::size_t>(y) * w + x] = out;
    }
  }
}

// Draws one picture into a fresh DIB section; GDI+ must be started.
Picture render(const layout::Icon& icon, double scale) {
  Picture out;
  out.width = static_cast<int>(std::ceil(icon.width * scale));
  out.height = static_cast<int>(std::ceil(icon.height * scale));
  if (out.width <= 0 || out.height <= 0) return {};
  const int k = kSupersample;
  gp::Bitmap canvas(out.width * k, out.height * k, PixelFormat32bppPARGB);
  {
    gp::Graphics g(&canvas);
    g.Clear(gp::Color(0, 0, 0, 0));
    g.SetSmoothingMode(gp::SmoothingModeNone);
    g.SetPixelOffsetMode(gp::PixelOffsetModeHalf);  // pixel (i, j) spans [i, i+1) x [j, j+1)
    g.ScaleTransform(static_cast<gp::REAL>(scale * k), static_cast<gp::REAL>(scale * k));
    draw(g, icon);
  }
  gp::BitmapData data{};
  gp::Rect all(0, 0, out.width * k, out.height * k);
  if (canvas.LockBits(&all, gp::ImageLockModeRead, PixelFormat32bppPARGB, &data) != gp::Ok) return {};
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), out.width, -out.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  out.bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (out.bitmap) {
    shrink(data, k, out.width, out.height, static_cast<std::uint32_t*>(bits));
    out.pixels = static_cast<const std::uint32_t*>(bits);
  }
  canvas.UnlockBits(&data);
  return out.bitmap ? out : Picture{};
}

// GDI+ started for as long as it lives.
struct GdiPlus {
  ULONG_PTR token = 0;
  bool ok = false;
  GdiPlus() {
    gp::GdiplusStartupInput input;
    ok = gp::GdiplusStartup(&token, &input, nullptr) == gp::Ok;
  }
  ~GdiPlus() {
    if (ok) gp::GdiplusShutdown(token);
  }
  GdiPlus(const GdiPlus&) = delete;
  GdiPlus& operator=(const GdiPlus&) = delete;
};

// Every picture at one scale, drawn in one GDI+ session.
std::array<Picture, kCount> renderAll(double scale) {
  std::array<Picture, kCount> set{};
  const GdiPlus session;
  if (!session.ok) return set;
  for (std::size_t i = 1; i < kCount; ++i) set[i] = render(layout::iconOf(static_cast<PictureId>(i)), scale);
  return set;
}

}  // namespace

Picture drawIcon(const layout::Icon& icon, double scale) {
  const GdiPlus session;
  return session.ok ? render(icon, scale) : Picture{};
}

const Picture* picture(PictureId id, double scale) {
  const auto i = static_cast<std::size_t>(id);
  if (i == 0 || i >= kCount || !(scale > 0)) return nullptr;
  // Kept for the whole run: a handful of small bitmaps per scale.
  static std::map<double, std::array<Picture, kCount>> drawn;
  auto it = drawn.find(scale);
  if (it == drawn.end()) it = drawn.emplace(scale, renderAll(scale)).first;
  return it->second[i].bitmap ? &it->second[i] : nullptr;
}

void drawPicture(HDC dc, PictureId id, int x, int y, double scale) {
  const Picture* p = picture(id, scale);
  if (!p) return;
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, p->bitmap);
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, x, y, p->width, p->height, source, 0, 0, p->width, p->height, blend);
  SelectObject(source, old);
  DeleteDC(source);
}

}  // namespace tolvane::platform::win32
