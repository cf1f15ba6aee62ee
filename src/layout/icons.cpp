#include "layout/icons.h"

#include <array>
#include <cstddef>
#include <initializer_list>
#include <utility>
#include <vector>

#include "layout/design.h"

namespace tolvane::layout {

namespace {

using platform::PictureId;
using Kind = IconStep::Kind;

constexpr ColorRef kInk = rgb(0x33, 0x3D, 0x4A);  // icon strokes
constexpr ColorRef kAccent = kFrameColor;         // the selection's blue
constexpr ColorRef kRed = rgb(0xD9, 0x35, 0x35);
constexpr ColorRef kWhite = rgb(0xFF, 0xFF, 0xFF);

IconFigure shape(IconOutline outline, float x, float y, float w, float h) {
  IconFigure f;
  f.outline = outline;
  f.x = x;
  f.y = y;
  f.w = w;
  f.h = h;
  return f;
}

IconFigure stroked(IconFigure f, ColorRef color, float width) {
  f.pen = IconPen{color, width};
  return f;
}

IconFigure filled(IconFigure f, ColorRef color) {
  f.fill = color;
  return f;
}

IconFigure line(IconPoint a, IconPoint b, ColorRef color, float width) {
  IconFigure f;
  f.steps = {{Kind::MoveTo, a, {}, {}}, {Kind::LineTo, b, {}, {}}};
  return stroked(f, color, width);
}

// Closed polygons filled together by the even-odd rule.
IconFigure polygonPath(std::initializer_list<std::initializer_list<IconPoint>> parts, ColorRef color) {
  IconFigure f;
  for (const auto& points : parts) {
    Kind kind = Kind::MoveTo;
    for (const IconPoint& p : points) {
      f.steps.push_back({kind, p, {}, {}});
      kind = Kind::LineTo;
    }
    f.steps.push_back({Kind::Close, {}, {}, {}});
  }
  return filled(f, color);
}

IconFigure polygon(std::initializer_list<IconPoint> points, ColorRef color) { return polygonPath({points}, color); }

// A frame one pixel wide just inside the box x, y, w, h: the box without
// its inside, filled by the even-odd rule.
IconFigure frame(float x, float y, float w, float h, ColorRef color) {
  return polygonPath({{{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}},
                      {{x + 1, y + 1}, {x + w - 1, y + 1}, {x + w - 1, y + h - 1}, {x + 1, y + h - 1}}},
                     color);
}

Icon icon16(std::vector<IconFigure> figures) { return Icon{16, 16, std::nullopt, false, std::move(figures)}; }

// A curved arrow turning back to the left, its head on the left.
Icon undoArrow() {
  IconFigure curve;
  curve.steps = {{Kind::MoveTo, {13, 12.5f}, {}, {}}, {Kind::CubicTo, {4.5f, 5.5f}, {13, 7.5f}, {10, 5.5f}}};
  return icon16({stroked(curve, kInk, 1.5f), polygon({{1.5f, 5.5f}, {6, 1.8f}, {6, 9.2f}}, kInk)});
}

// The drop-down chooser's face: a white field with a frame and an arrow
// button on the right, lighter or bluer under the pointer and when pressed.
Icon comboFace(ColorRef border, ColorRef button) {
  return Icon{50, 22, kWhite, false,
              {frame(0, 0, 50, 22, border),
               filled(shape(IconOutline::Rect, 33, 1, 16, 20), button),
               filled(shape(IconOutline::Rect, 32, 1, 1, 20), border),
               polygon({{37, 9}, {45, 9}, {41, 13.5f}}, rgb(0x40, 0x40, 0x40))}};
}

std::array<Icon, static_cast<std::size_t>(PictureId::IconCopy) + 1> makeAll() {
  decltype(makeAll()) all{};
  auto at = [&all](PictureId id) -> Icon& { return all[static_cast<std::size_t>(id)]; };
  at(PictureId::Handle) = Icon{4, 4, kAccent, false, {}};
  at(PictureId::ComboRest) = comboFace(rgb(0xA0, 0xA0, 0xA0), rgb(0xF0, 0xF0, 0xF0));
  at(PictureId::ComboHover) = comboFace(rgb(0x00, 0x78, 0xD7), rgb(0xE5, 0xF1, 0xFB));
  at(PictureId::ComboPressed) = comboFace(rgb(0x00, 0x54, 0x99), rgb(0xCC, 0xE4, 0xF7));
  at(PictureId::IconRect) = icon16({stroked(shape(IconOutline::Rect, 2.5f, 3.5f, 11, 9), kInk, 1.5f)});
  at(PictureId::IconEllipse) = icon16({stroked(shape(IconOutline::Ellipse, 1.5f, 3, 13, 10), kInk, 1.5f)});
  // A capital A from strokes, so no font is needed.
  at(PictureId::IconText) = icon16({line({3, 14}, {8, 2}, kInk, 1.8f), line({8, 2}, {13, 14}, kInk, 1.8f),
                                    line({5.2f, 9.5f}, {10.8f, 9.5f}, kInk, 1.8f)});
  at(PictureId::IconArrow) =
      icon16({line({2.5f, 13.5f}, {11, 5}, kInk, 1.6f), polygon({{14, 2}, {12.8f, 8.6f}, {7.4f, 3.2f}}, kInk)});
  at(PictureId::IconUndo) = undoArrow();
  at(PictureId::IconRedo) = undoArrow();
  at(PictureId::IconRedo).mirrored = true;
  // A floppy disk: body, shutter and label.
  IconFigure body = shape(IconOutline::RoundedRect, 2, 2, 12, 12);
  body.radius = 1.2f;
  at(PictureId::IconSave) = icon16({stroked(body, kInk, 1.2f), filled(shape(IconOutline::Rect, 5, 2.5f, 6, 4), kInk),
                                    filled(shape(IconOutline::Rect, 4.5f, 9, 7, 4.4f), kAccent)});
  at(PictureId::IconClose) =
      icon16({line({3.5f, 3.5f}, {12.5f, 12.5f}, kRed, 2), line({12.5f, 3.5f}, {3.5f, 12.5f}, kRed, 2)});
  // Two sheets: copy to the clipboard.
  at(PictureId::IconCopy) =
      icon16({filled(stroked(shape(IconOutline::Rect, 2.5f, 2.5f, 8, 9), kInk, 1.2f), kWhite),
              filled(stroked(shape(IconOutline::Rect, 5.5f, 5.5f, 8, 9), kAccent, 1.2f), kWhite)});
  return all;
}

}  // namespace

const Icon& iconOf(PictureId id) {
  static const auto all = makeAll();
  const auto i = static_cast<std::size_t>(id);
  return i < all.size() ? all[i] : all[0];
}

// A dark square holding a light selection with a blue frame and two handles.
const Icon& windowIcon() {
  static const Icon icon = icon16({filled(shape(IconOutline::Rect, 1, 1, 14, 14), rgb(0x22, 0x22, 0x22)),
                                   filled(shape(IconOutline::Rect, 4, 4, 8, 8), rgb(0xDE, 0xEE, 0xFF)),
                                   frame(4, 4, 8, 8, kAccent),
                                   filled(shape(IconOutline::Rect, 3, 3, 2, 2), kAccent),
                                   filled(shape(IconOutline::Rect, 11, 11, 2, 2), kAccent)});
  return icon;
}

}  // namespace tolvane::layout
