#include "platform/win32/pictures.h"

#include <objidl.h>
#include <gdiplus.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <map>

namespace tolvane::platform::win32 {

namespace {

namespace gp = Gdiplus;

const gp::Color kInk(0x33, 0x3D, 0x4A);     // icon strokes
const gp::Color kAccent(0x00, 0x7A, 0xEC);  // the selection's blue
const gp::Color kRed(0xD9, 0x35, 0x35);
const gp::Color kWhite(0xFF, 0xFF, 0xFF);

constexpr std::size_t kCount = static_cast<std::size_t>(PictureId::IconCopy) + 1;

// A pen with round caps and joins, as the icons' strokes have.
struct RoundPen {
  gp::Pen pen;
  RoundPen(const gp::Color& c, float width) : pen(c, width) {
    pen.SetLineCap(gp::LineCapRound, gp::LineCapRound, gp::DashCapRound);
    pen.SetLineJoin(gp::LineJoinRound);
  }
};

void fillTriangle(gp::Graphics& g, const gp::Color& c, gp::PointF a, gp::PointF b, gp::PointF d) {
  const gp::PointF points[3] = {a, b, d};
  gp::SolidBrush brush(c);
  g.FillPolygon(&brush, points, 3);
}

void fillRect(gp::Graphics& g, const gp::Color& c, float x, float y, float w, float h) {
  gp::SolidBrush brush(c);
  g.FillRectangle(&brush, x, y, w, h);
}

// A curved arrow turning back to the left (undo); mirrored it is redo.
void drawTurnArrow(gp::Graphics& g, bool mirrored) {
  if (mirrored) {
    g.TranslateTransform(16, 0);
    g.ScaleTransform(-1, 1);
  }
  gp::GraphicsPath path;
  path.AddBezier(13.0f, 12.5f, 13.0f, 7.5f, 10.0f, 5.5f, 4.5f, 5.5f);
  RoundPen ink(kInk, 1.5f);
  g.DrawPath(&ink.pen, &path);
  fillTriangle(g, kInk, {1.5f, 5.5f}, {6, 1.8f}, {6, 9.2f});
}

// A floppy disk: body with rounded corners, shutter and label.
void drawFloppy(gp::Graphics& g) {
  constexpr float r = 1.2f * 2;  // corner diameter
  gp::GraphicsPath body;
  body.AddArc(2.0f, 2.0f, r, r, 180, 90);
  body.AddArc(14.0f - r, 2.0f, r, r, 270, 90);
  body.AddArc(14.0f - r, 14.0f - r, r, r, 0, 90);
  body.AddArc(2.0f, 14.0f - r, r, r, 90, 90);
  body.CloseFigure();
  RoundPen ink(kInk, 1.2f);
  g.DrawPath(&ink.pen, &body);
  fillRect(g, kInk, 5, 2.5f, 6, 4);
  fillRect(g, kAccent, 4.5f, 9, 7, 4.4f);
}

// Two sheets: copy to the clipboard.
void drawSheets(gp::Graphics& g) {
  RoundPen ink(kInk, 1.2f), accent(kAccent, 1.2f);
  fillRect(g, kWhite, 2.5f, 2.5f, 8, 9);
  g.DrawRectangle(&ink.pen, 2.5f, 2.5f, 8.0f, 9.0f);
  fillRect(g, kWhite, 5.5f, 5.5f, 8, 9);
  g.DrawRectangle(&accent.pen, 5.5f, 5.5f, 8.0f, 9.0f);
}

void drawLine(gp::Graphics& g, const gp::Color& c, float width, float x1, float y1, float x2, float y2) {
  RoundPen p(c, width);
  g.DrawLine(&p.pen, x1, y1, x2, y2);
}

void drawIcon(gp::Graphics& g, PictureId id) {
  switch (id) {
    case PictureId::IconRect: {
      RoundPen ink(kInk, 1.5f);
      g.DrawRectangle(&ink.pen, 2.5f, 3.5f, 11.0f, 9.0f);
      break;
    }
    case PictureId::IconEllipse: {
      RoundPen ink(kInk, 1.5f);
      g.DrawEllipse(&ink.pen, 1.5f, 3.0f, 13.0f, 10.0f);
      break;
    }
    case PictureId::IconText:  // a capital A from strokes, so no font is needed
      drawLine(g, kInk, 1.8f, 3, 14, 8, 2);
      drawLine(g, kInk, 1.8f, 8, 2, 13, 14);
      drawLine(g, kInk, 1.8f, 5.2f, 9.5f, 10.8f, 9.5f);
      break;
    case PictureId::IconArrow:
      drawLine(g, kInk, 1.6f, 2.5f, 13.5f, 11, 5);
      fillTriangle(g, kInk, {14, 2}, {12.8f, 8.6f}, {7.4f, 3.2f});
      break;
    case PictureId::IconUndo: drawTurnArrow(g, false); break;
    case PictureId::IconRedo: drawTurnArrow(g, true); break;
    case PictureId::IconSave: drawFloppy(g); break;
    case PictureId::IconClose:
      drawLine(g, kRed, 2, 3.5f, 3.5f, 12.5f, 12.5f);
      drawLine(g, kRed, 2, 12.5f, 3.5f, 3.5f, 12.5f);
      break;
    case PictureId::IconCopy: drawSheets(g); break;
    default: break;
  }
}

// The drop-down chooser's face: a white field with a grey frame and an arrow
// button on the right, lighter or bluer under the pointer and when pressed.
void drawComboFace(gp::Graphics& g, PictureId id) {
  gp::Color border(0xA0, 0xA0, 0xA0), button(0xF0, 0xF0, 0xF0);
  if (id == PictureId::ComboHover) {
    border = gp::Color(0x00, 0x78, 0xD7);
    button = gp::Color(0xE5, 0xF1, 0xFB);
  } else if (id == PictureId::ComboPressed) {
    border = gp::Color(0x00, 0x54, 0x99);
    button = gp::Color(0xCC, 0xE4, 0xF7);
  }
  fillRect(g, kWhite, 0, 0, 50, 22);
  fillRect(g, border, 0, 0, 50, 1);
  fillRect(g, border, 0, 21, 50, 1);
  fillRect(g, border, 0, 0, 1, 22);
  fillRect(g, border, 49, 0, 1, 22);
  fillRect(g, button, 33, 1, 16, 20);
  fillRect(g, border, 32, 1, 1, 20);
  fillTriangle(g, gp::Color(0x40, 0x40, 0x40), {37, 9}, {45, 9}, {41, 13.5f});
}

// The picture's size in pixels before scaling.
SIZE sizeOf(PictureId id) {
  switch (id) {
    case PictureId::None: return {0, 0};
    case PictureId::Handle: return {4, 4};
    case PictureId::ComboRest:
    case PictureId::ComboHover:
    case PictureId::ComboPressed: return {50, 22};
    default: return {16, 16};
  }
}

void draw(gp::Graphics& g, PictureId id) {
  if (id == PictureId::Handle)
    fillRect(g, gp::Color(0, 122, 236), 0, 0, 4, 4);
  else if (id == PictureId::ComboRest || id == PictureId::ComboHover || id == PictureId::ComboPressed)
    drawComboFace(g, id);
  else
    drawIcon(g, id);
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
Picture render(PictureId id, double scale) {
  const SIZE logical = sizeOf(id);
  Picture out;
  out.width = static_cast<int>(std::ceil(logical.cx * scale));
  out.height = static_cast<int>(std::ceil(logical.cy * scale));
  if (out.width <= 0 || out.height <= 0) return {};
  const int k = kSupersample;
  gp::Bitmap canvas(out.width * k, out.height * k, PixelFormat32bppPARGB);
  {
    gp::Graphics g(&canvas);
    g.Clear(gp::Color(0, 0, 0, 0));
    g.SetSmoothingMode(gp::SmoothingModeNone);
    g.SetPixelOffsetMode(gp::PixelOffsetModeHalf);  // pixel (i, j) spans [i, i+1) x [j, j+1)
    g.ScaleTransform(static_cast<gp::REAL>(scale * k), static_cast<gp::REAL>(scale * k));
    draw(g, id);
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

// Every picture at one scale, drawn in one GDI+ session.
std::array<Picture, kCount> renderAll(double scale) {
  std::array<Picture, kCount> set{};
  gp::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (gp::GdiplusStartup(&token, &input, nullptr) != gp::Ok) return set;
  for (std::size_t i = 1; i < kCount; ++i) set[i] = render(static_cast<PictureId>(i), scale);
  gp::GdiplusShutdown(token);
  return set;
}

}  // namespace

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
