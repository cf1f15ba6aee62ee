// The Windows control view run through the shared picture script: the
// pixels it paints and the control a press reaches are those the Qt view gives.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "layout/controls.h"
#include "platform/control_script.h"
#include "platform/win32/capture_window.h"
#include "platform/win32/control_view.h"
#include "platform/win32/text_engine.h"

namespace tolvane::platform::win32 {
namespace {

using namespace control_script;

constexpr int kWidth = 400, kHeight = 300;

struct Rig {
  GdiTextEngine text;
  CaptureWindow window{0, 0, kWidth, kHeight};
  WinControlView view{window.handle(), text, [this](std::function<void(EventSink&)> f) { window.send(f); }};
  layout::Controls controls{&view};

  Rig() { view.attach(controls); }
  // The view painted over the canvas colour, as 0xRRGGBB pixels.
  std::vector<std::uint32_t> painted() {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, dib);
    const RECT all{0, 0, kWidth, kHeight};
    HBRUSH canvas = CreateSolidBrush(RGB((kCanvas >> 16) & 0xFF, (kCanvas >> 8) & 0xFF, kCanvas & 0xFF));
    FillRect(dc, &all, canvas);
    DeleteObject(canvas);
    view.paint(dc);
    GdiFlush();
    const auto* px = static_cast<const std::uint32_t*>(bits);
    std::vector<std::uint32_t> out(px, px + kWidth * kHeight);
    for (auto& p : out) p &= 0xFFFFFFu;
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
    return out;
  }
};

TEST(WinControlScript, PaintsAndHitsAsTheScriptSays) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    Rig rig;
    c.setUp(rig.controls);
    const std::vector<std::uint32_t> shot = rig.painted();
    expectAsScripted(
        c, [&](int x, int y) { return shot[static_cast<std::size_t>(y * kWidth + x)]; },
        [&](int x, int y) { return rig.view.hitTest(x, y).ref; });
  }
}

}  // namespace
}  // namespace tolvane::platform::win32
