#include "fake/fake_platform.h"

#include <cstdio>

#include "picture/rounding.h"
#include "platform/geometry.h"

namespace tolvane::fake {

std::string fmt(float v) { return shortestText(v); }

namespace {
std::string hex(std::uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "%08X", v);
  return b;
}

// Code points of a UTF-8 text; a stray byte counts as one.
std::vector<char32_t> codePoints(std::string_view s) {
  std::vector<char32_t> out;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    out.push_back(c);
    i += static_cast<std::size_t>(n);
  }
  return out;
}
}  // namespace

float FakeText::width(std::string_view utf8, float points) const {
  const float em = points * 96.0f / 72.0f;
  float w = 0;
  for (char32_t c : codePoints(utf8)) w += c < 0x80 ? em / 2 : em;
  return w;
}

void FakeText::draw(Image& target, int ox, int oy, int x, int y, std::string_view utf8, float points,
                    ColorRef color) const {
  const float em = points * 96.0f / 72.0f;
  float at = static_cast<float>(x);
  for (char32_t c : codePoints(utf8)) {
    const float cw = c < 0x80 ? em / 2 : em;
    if (c != ' ')
      target.fill({roundEven(at) + 1 - ox, y + 1 - oy, roundEven(at + cw) - 1 - ox, y + roundEven(em) - 1 - oy},
                  argbFromColorRef(color));
    at += cw;
  }
}

void RecordingSurface::setPersistent(bool on) {
  log_.push_back(std::string("Persistent ") + (on ? "on" : "off"));
  RasterSurface::setPersistent(on);
}
void RecordingSurface::clear() {
  log_.push_back("Clear");
  RasterSurface::clear();
}
void RecordingSurface::refresh() {
  log_.push_back("Refresh");
  RasterSurface::refresh();
}
void RecordingSurface::setPicture(const Image& p) {
  log_.push_back("SetPicture " + std::to_string(p.width()) + "x" + std::to_string(p.height()));
  RasterSurface::setPicture(p);
}
void RecordingSurface::setLayeredPicture(const picture::LayeredPicture& p) {
  log_.push_back("SetPicture " + std::to_string(p.base.width()) + "x" + std::to_string(p.base.height()));
  RasterSurface::setLayeredPicture(p);
}
void RecordingSurface::line(float x1, float y1, float x2, float y2, ColorRef color, bool box) {
  log_.push_back(std::string(box ? "Box " : "Line ") + fmt(x1) + "," + fmt(y1) + "-" + fmt(x2) + "," + fmt(y2) +
                 " " + hex(static_cast<std::uint32_t>(color)));
  RasterSurface::line(x1, y1, x2, y2, color, box);
}
void RecordingSurface::setFontSize(float points) {
  log_.push_back("FontSize " + fmt(points));
  RasterSurface::setFontSize(points);
}
void RecordingSurface::bitBlt(int x, int y, int w, int h, const Image& src, int sx, int sy) {
  log_.push_back("BitBlt " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(w) + "x" +
                 std::to_string(h) + " from " + std::to_string(sx) + "," + std::to_string(sy));
  RasterSurface::bitBlt(x, y, w, h, src, sx, sy);
}
void RecordingSurface::ellipse(int l, int t, int r, int b, ColorRef color) {
  log_.push_back("Ellipse " + std::to_string(l) + "," + std::to_string(t) + "," + std::to_string(r) + "," +
                 std::to_string(b) + " " + hex(static_cast<std::uint32_t>(color)));
  RasterSurface::ellipse(l, t, r, b, color);
}
void RecordingSurface::setTextColor(ColorRef color) {
  log_.push_back("SetTextColor " + hex(static_cast<std::uint32_t>(color)));
  RasterSurface::setTextColor(color);
}
void RecordingSurface::textOut(int x, int y, std::string_view bytes, int count) {
  log_.push_back("TextOut " + std::to_string(x) + "," + std::to_string(y) + " \"" + std::string(bytes) + "\" " +
                 std::to_string(count));
  RasterSurface::textOut(x, y, bytes, count);
}
void RecordingSurface::fillArgb(Argb color, float l, float t, float w, float h) {
  log_.push_back("Fill " + hex(color) + " " + fmt(l) + "," + fmt(t) + " " + fmt(w) + "x" + fmt(h));
  RasterSurface::fillArgb(color, l, t, w, h);
}

platform::ScreenRead FakeScreen::grab() {
  ++grabs;
  log_.push_back("Grab");
  if (!picture) return {{}, platform::Failure{platform::kScreenReadFailed, why}};
  return {*picture, std::nullopt};
}

void FakePointer::setShape(platform::PointerShape s) {
  shape_ = s;
  log_.push_back("Pointer " + std::to_string(static_cast<int>(s)));
}

platform::EncodeResult FakeEncoders::encode(platform::Format f, const Image& p, const platform::EncodeParams& ps) {
  calls.push_back(f);
  params.push_back(ps);
  last = p;
  seen = witness.now();
  if (failWith) return *failWith;
  platform::EncodeResult r;
  const std::string tag = "FAKE" + std::to_string(static_cast<int>(f)) + ":" + std::to_string(p.width()) + "x" +
                          std::to_string(p.height());
  r.bytes.assign(tag.begin(), tag.end());
  return r;
}

void FakeView::changed(const platform::ControlState& s, platform::Prop p) {
  if (quiet) return;
  using platform::Prop;
  std::string line = s.name + ".";
  switch (p) {
    case Prop::Geometry:
      line += "Geometry=" + fmt(s.left) + "," + fmt(s.top) + "," + fmt(s.width) + "," + fmt(s.height);
      break;
    case Prop::Visible: line += std::string("Visible=") + (s.visible ? "1" : "0"); break;
    case Prop::Caption: line += "Caption=" + s.caption; break;
    case Prop::Text: line += "Text=" + s.text; break;
    case Prop::BackColor: line += "BackColor=" + hex(static_cast<std::uint32_t>(s.backColor)); break;
    case Prop::ForeColor: line += "ForeColor=" + hex(static_cast<std::uint32_t>(s.foreColor)); break;
    case Prop::BorderStyle: line += "BorderStyle=" + std::to_string(s.borderStyle); break;
    case Prop::Picture: line += "Picture=" + std::to_string(static_cast<int>(s.picture)); break;
    case Prop::FontSize: line += "FontSize=" + fmt(s.fontSize); break;
  }
  log_.push_back(line);
}

void FakeView::setFocus(platform::CtlRef ref) {
  log_.push_back("Focus " + std::to_string(static_cast<int>(ref.ctl)));
}

void FakeView::showComboDropDown(platform::CtlRef, bool show) {
  log_.push_back(std::string("ShowDropDown ") + (show ? "1" : "0"));
  dropped = show;
}

platform::Key keyOf(platform::KeyCode code, bool ctrl, bool shift) { return {code, 0, ctrl, shift, false}; }
platform::Key ctrlKey(char letter, bool shift) { return {platform::KeyCode::Letter, letter, true, shift, false}; }

Image patternPicture(int w, int h) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      img.setPixel(x, y, 0xFF000000u | static_cast<Argb>(((x * 7) & 0xFF) << 16) |
                             static_cast<Argb>(((y * 5) & 0xFF) << 8) | static_cast<Argb>((x + y) & 0xFF));
  return img;
}

Rig::Rig(int w, int h, std::optional<Image> screenPicture)
    : surface(w, h, log, &text, &presenter),
      screen(w, h, log),
      pointer(log),
      app(log),
      lock(log),
      clipboard(log),
      dialog(log),
      messageBox(log),
      view(log),
      platform{surface, screen, pointer, app, lock, clipboard, dialog, messageBox, encoders, env},
      form(platform, &view) {
  screen.picture = screenPicture ? *screenPicture : patternPicture(w, h);
  clipboard.witness = encoders.witness = {&app, &pointer};
  messageBox.pointer = &pointer;
}

void Rig::down(float x, float y, int button) { form.mouseDown({platform::Ctl::Window, -1}, {button, 0, x, y}); }
void Rig::move(float x, float y, int buttons) { form.mouseMove({platform::Ctl::Window, -1}, {buttons, 0, x, y}); }
void Rig::up(float x, float y, int button) { form.mouseUp({platform::Ctl::Window, -1}, {button, 0, x, y}); }
void Rig::drag(float x0, float y0, float x1, float y1, int button) {
  down(x0, y0, button);
  move((x0 + x1) / 2, (y0 + y1) / 2, button);
  move(x1, y1, button);
  up(x1, y1, button);
}
void Rig::clickTool(int index) { form.click({platform::Ctl::ToolButton, index}); }

}  // namespace tolvane::fake
