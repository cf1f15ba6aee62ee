#include "qt_test_support.h"

#include "platform/geometry.h"

namespace tolvane::qttest {

using platform::Ctl;

std::string ctlName(platform::CtlRef t) {
  std::string n;
  switch (t.ctl) {
    case Ctl::Window: n = "Window"; break;
    case Ctl::NoteField: n = "NoteField"; break;
    case Ctl::SizeBox: n = "SizeBox"; break;
    case Ctl::SizeList: n = "SizeList"; break;
    case Ctl::Handle: n = "Handle"; break;
    case Ctl::ToolButton: n = "ToolButton"; break;
    case Ctl::Toolbar: n = "Toolbar"; break;
    case Ctl::Swatch: n = "Swatch"; break;
    case Ctl::SizeLabel: n = "SizeLabel"; break;
    default: n = "Ctl" + std::to_string(static_cast<int>(t.ctl)); break;
  }
  if (t.index >= 0) {
    // Appended piece by piece: GCC 12 at -O3 warns falsely on the chained form.
    n += '(';
    n += std::to_string(t.index);
    n += ')';
  }
  return n;
}

namespace {
std::string mouse(const char* what, platform::CtlRef t, const platform::Mouse& m) {
  return std::string(what) + " " + ctlName(t) + " " + std::to_string(m.button) + " " + shortestText(m.x) + "," +
         shortestText(m.y);
}
}  // namespace

void RecordingSink::mouseDown(platform::CtlRef t, const platform::Mouse& m) { log.push_back(mouse("down", t, m)); }
void RecordingSink::mouseMove(platform::CtlRef t, const platform::Mouse& m) { log.push_back(mouse("move", t, m)); }
void RecordingSink::mouseUp(platform::CtlRef t, const platform::Mouse& m) { log.push_back(mouse("up", t, m)); }
void RecordingSink::dblClick(platform::CtlRef t) { log.push_back("dblclick " + ctlName(t)); }
void RecordingSink::click(platform::CtlRef t) { log.push_back("click " + ctlName(t)); }
void RecordingSink::textChanged(platform::CtlRef t, const std::string& utf8) {
  log.push_back("text " + ctlName(t) + " " + utf8);
}
bool RecordingSink::keyDown(platform::CtlRef focus, const platform::Key& k) {
  log.push_back("key " + keyName(k) + " " + ctlName(focus));
  return useKeys;
}

std::string keyName(const platform::Key& k) {
  using platform::KeyCode;
  std::string n = std::string(k.ctrl ? "Ctrl+" : "") + (k.shift ? "Shift+" : "") + (k.alt ? "Alt+" : "");
  switch (k.code) {
    case KeyCode::Escape: return n + "Esc";
    case KeyCode::Enter: return n + "Enter";
    case KeyCode::Left: return n + "Left";
    case KeyCode::Right: return n + "Right";
    case KeyCode::Up: return n + "Up";
    case KeyCode::Down: return n + "Down";
    case KeyCode::Letter: return n + k.letter;
    case KeyCode::Other: break;
  }
  return n + "Other";
}

std::vector<std::string> RecordingSink::withoutMoves() const {
  std::vector<std::string> out;
  for (const auto& l : log)
    if (l.rfind("move ", 0) != 0) out.push_back(l);
  return out;
}

Image pattern(int w, int h) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      img.setPixel(x, y, 0xFF000000u | static_cast<Argb>(((x * 3) & 0xFF) << 16) |
                             static_cast<Argb>(((y * 5) & 0xFF) << 8) | static_cast<Argb>((x ^ y) & 0xFF));
  return img;
}

QImage toQImage(const Image& img) {
  const QImage wrapped(reinterpret_cast<const uchar*>(img.constBits()), img.width(), img.height(), img.width() * 4,
                       QImage::Format_RGB32);
  return wrapped.copy();
}

long differingPixels(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return -1;
  const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
  long n = 0;
  for (int r = 0; r < x.height(); ++r) {
    const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(r));
    const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(r));
    for (int c = 0; c < x.width(); ++c)
      if ((p[c] & 0xFFFFFF) != (q[c] & 0xFFFFFF)) ++n;
  }
  return n;
}

}  // namespace tolvane::qttest
