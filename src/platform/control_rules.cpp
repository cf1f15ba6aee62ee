#include "platform/control_rules.h"

#include <algorithm>
#include <cmath>

#include "picture/rounding.h"

namespace tolvane::platform {

namespace {

constexpr Argb grey(int v) { return 0xFF000000u | static_cast<Argb>(v) * 0x010101u; }

struct SystemRgb {
  SystemColor color;
  Argb rgb;
};

constexpr SystemRgb kSystemColors[] = {
    {SystemColor::Window, grey(255)},       {SystemColor::WindowText, grey(0)},
    {SystemColor::ButtonFace, grey(240)},   {SystemColor::ButtonShadow, grey(160)},
    {SystemColor::ButtonText, grey(0)},     {SystemColor::ButtonHighlight, grey(255)},
    {SystemColor::DarkShadow, grey(64)},    {SystemColor::Light, grey(227)},
};

constexpr Argb kUnknownSystemColor = grey(128);

using Op = PaintStep::Op;

PaintStep fill(const IRect& box, Argb color) { return {Op::Fill, box, {}, {}, color}; }

// A one-pixel line just inside the box's edge.
void outline(const IRect& b, Argb color, std::vector<PaintStep>& out) {
  if (b.empty()) return;
  out.push_back(fill({0, 0, b.right, 1}, color));
  out.push_back(fill({0, b.bottom - 1, b.right, b.bottom}, color));
  out.push_back(fill({0, 0, 1, b.bottom}, color));
  out.push_back(fill({b.right - 1, 0, b.right, b.bottom}, color));
}

// A picture box's single border: a sunken edge two pixels deep, dark above
// and left, light below and right, seen on every swatch colour.
void sunkenEdge(const IRect& b, std::vector<PaintStep>& out) {
  const int w = b.right, h = b.bottom;
  if (w < 4 || h < 4) return;
  const Argb shadow = shownColor(systemColor(SystemColor::ButtonShadow));
  const Argb light = shownColor(systemColor(SystemColor::ButtonHighlight));
  const Argb dark = shownColor(systemColor(SystemColor::DarkShadow));
  const Argb face = shownColor(systemColor(SystemColor::Light));
  out.push_back(fill({0, 0, w - 1, 1}, shadow));
  out.push_back(fill({0, 0, 1, h - 1}, shadow));
  out.push_back(fill({0, h - 1, w, h}, light));
  out.push_back(fill({w - 1, 0, w, h}, light));
  out.push_back(fill({1, 1, w - 2, 2}, dark));
  out.push_back(fill({1, 1, 2, h - 2}, dark));
  out.push_back(fill({1, h - 2, w - 1, h - 1}, face));
  out.push_back(fill({w - 2, 1, w - 1, h - 1}, face));
}

}  // namespace

Argb shownColor(ColorRef c) {
  const auto u = static_cast<std::uint32_t>(c);
  if (!(u & 0x80000000u)) return argbFromColorRef(c);
  for (const SystemRgb& s : kSystemColors)
    if (static_cast<std::uint32_t>(s.color) == (u & 0xFFu)) return s.rgb;
  return kUnknownSystemColor;
}

bool liesInFront(const StackPlace& a, const StackPlace& b) {
  if (isWindowed(a.kind) != isWindowed(b.kind)) return isWindowed(a.kind);
  return a.designOrder < b.designOrder;
}

IRect placeInContainer(const ControlState& s) {
  if (s.kind == Kind::Line) {
    const int x1 = roundEven(s.left), y1 = roundEven(s.top), x2 = roundEven(s.x2), y2 = roundEven(s.y2);
    return {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2) + 1, std::max(y1, y2) + 1};
  }
  const int l = roundEven(s.left), t = roundEven(s.top);
  const int r = roundEven(static_cast<double>(s.left) + s.width);
  const int b = roundEven(static_cast<double>(s.top) + s.height);
  return {l, t, std::max(l, r), std::max(t, b)};
}

std::vector<IRect> deviceBorder(const ControlState& s, double scale) {
  const IRect b = placeInContainer(s);
  if (b.empty()) return {};
  const int line = std::max(1, static_cast<int>(std::lround(scale)));
  const int across = std::min(line, b.height()), down = std::min(line, b.width());
  return {{b.left, b.top, b.right, b.top + across},
          {b.left, b.bottom - across, b.right, b.bottom},
          {b.left, b.top, b.left + down, b.bottom},
          {b.right - down, b.top, b.right, b.bottom}};
}

float controlPoints(const ControlState& s) { return s.fontSize > 0 ? s.fontSize : 9; }

std::vector<PaintStep> paintSteps(const ControlState& s, const IRect& box) {
  std::vector<PaintStep> out;
  if (s.kind == Kind::TextBox || s.kind == Kind::ComboBox) return out;
  const IRect own{0, 0, box.width(), box.height()};
  if (s.kind == Kind::Line) {
    const PixelPoint from{roundEven(s.left) - box.left, roundEven(s.top) - box.top};
    const PixelPoint to{roundEven(s.x2) - box.left, roundEven(s.y2) - box.top};
    out.push_back({Op::Line, own, from, to, shownColor(s.borderColor)});
    return out;
  }
  if (own.empty()) return out;
  if (s.hasBack) out.push_back(fill(own, shownColor(s.backColor)));
  switch (s.kind) {
    case Kind::PictureBox:
    case Kind::Image:
      if (s.picture != PictureId::None) out.push_back({Op::Picture, own, {}, {}, 0});
      if (s.kind == Kind::PictureBox && s.borderStyle == 1) sunkenEdge(own, out);
      break;
    case Kind::Shape: outline(own, shownColor(s.borderColor), out); break;
    case Kind::Label:
      if (!s.caption.empty()) out.push_back({Op::Caption, own, {}, {}, shownColor(s.foreColor)});
      break;
    default: break;
  }
  return out;
}

void sendItemChosen(const std::function<void(const std::function<void(EventSink&)>&)>& send, CtlRef combo,
                    const std::string& item) {
  send([&](EventSink& s) { s.textChanged(combo, item); });
  send([&](EventSink& s) { s.click(combo); });
}

}  // namespace tolvane::platform
