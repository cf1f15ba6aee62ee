// The Windows control view: the size list as a child COMBOBOX, and the
// controls painted and hit in the order and within the bounds Qt gives them.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "layout/controls.h"
#include "layout/design.h"
#include "texts/texts.h"
#include "platform/win32/capture_window.h"
#include "platform/win32/control_view.h"
#include "platform/win32/text_engine.h"
#include "platform/win32/wide.h"

#include <commctrl.h>

namespace tolvane::platform::win32 {
namespace {

std::string nameOf(CtlRef r) {
  switch (r.ctl) {
    case Ctl::Window: return "Window";
    case Ctl::SizeList: return "SizeList";
    case Ctl::SizeChooser: return "SizeChooser";
    case Ctl::StylePanel: return "StylePanel";
    case Ctl::ToolButton: return "ToolButton(" + std::to_string(r.index) + ")";
    default: return "ctl" + std::to_string(static_cast<int>(r.ctl)) + "(" + std::to_string(r.index) + ")";
  }
}

// Writes every event but moves as one line.
struct Recorder : EventSink {
  std::vector<std::string> log;
  void mouseDown(CtlRef t, const Mouse&) override { log.push_back("down " + nameOf(t)); }
  void mouseMove(CtlRef, const Mouse&) override {}
  void mouseUp(CtlRef t, const Mouse&) override { log.push_back("up " + nameOf(t)); }
  void dblClick(CtlRef t) override { log.push_back("dblclick " + nameOf(t)); }
  void click(CtlRef t) override { log.push_back("click " + nameOf(t)); }
  void textChanged(CtlRef t, const std::string& utf8) override { log.push_back("text " + nameOf(t) + " " + utf8); }
  bool keyDown(CtlRef, const Key& k) override {
    log.push_back("key " + std::to_string(static_cast<int>(k.code)));
    return false;
  }
};

// A capture window with the designed controls, its view and a recorder as the logic.
struct Rig {
  GdiTextEngine text;
  CaptureWindow window{0, 0, 400, 300};
  Recorder sink;
  WinControlView view{window.handle(), text, [this](std::function<void(EventSink&)> f) { window.send(f); }};
  layout::Controls controls{&view};
  const CtlRef list{Ctl::SizeList, -1};

  Rig() {
    window.attach(nullptr, &view, nullptr, &sink);
    view.attach(controls);
  }
  HWND combo() const { return FindWindowExW(window.handle(), nullptr, L"ComboBox", nullptr); }
  std::string shown() const {  // the item the combo box shows
    const auto i = static_cast<int>(SendMessageW(combo(), CB_GETCURSEL, 0, 0));
    if (i < 0) return "";
    wchar_t item[64] = {};
    SendMessageW(combo(), CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
    return narrow(item);
  }
  void key(WPARAM vk) { SendMessageW(window.handle(), WM_KEYDOWN, vk, 0); }
};

TEST(WinComboBox, MirrorsItemsTextAndFontAndStaysHidden) {
  Rig rig;
  ASSERT_NE(rig.combo(), nullptr);
  EXPECT_FALSE(IsWindowVisible(rig.combo()));  // only its list is ever seen
  EXPECT_EQ(SendMessageW(rig.combo(), CB_GETCOUNT, 0, 0), 9);
  EXPECT_EQ(rig.shown(), "11");
  rig.controls(Ctl::SizeList).setText("18");
  EXPECT_EQ(rig.shown(), "18");
  rig.controls(Ctl::SizeList).setText("7");  // not an item: none shown
  EXPECT_EQ(rig.shown(), "");

  ControlState s = rig.controls(Ctl::SizeList).state();
  s.items = {"小", "大"};
  s.text = "大";
  rig.view.changed(s, Prop::Text);
  EXPECT_EQ(SendMessageW(rig.combo(), CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(rig.shown(), "大");

  rig.controls(Ctl::SizeList).setFontSize(15);
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(rig.combo(), WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_EQ(font.lfHeight, -20);  // 15 points at 96 dpi
}

TEST(WinComboBox, DropsDownWhenAskedAndSaysSo) {
  Rig rig;
  EXPECT_FALSE(rig.view.comboDropped(rig.list));
  rig.view.showComboDropDown(rig.list, true);
  EXPECT_TRUE(rig.view.comboDropped(rig.list));
  rig.view.showComboDropDown(rig.list, false);
  EXPECT_FALSE(rig.view.comboDropped(rig.list));
  EXPECT_TRUE(rig.sink.log.empty());  // opening and closing chooses nothing
}

// Arrows move through the open list and Enter chooses: the logic hears of
// it once, as from the Qt view, and no key reaches it meanwhile.
TEST(WinComboBox, EnterInTheOpenListChoosesTheItemOnce) {
  Rig rig;
  rig.view.showComboDropDown(rig.list, true);
  rig.key(VK_DOWN);
  rig.key(VK_DOWN);
  EXPECT_TRUE(rig.sink.log.empty());
  rig.key(VK_RETURN);
  EXPECT_FALSE(rig.view.comboDropped(rig.list));
  EXPECT_EQ(rig.sink.log, (std::vector<std::string>{"text SizeList 14", "click SizeList"}));
  EXPECT_EQ(rig.shown(), "14");
  rig.view.showComboDropDown(rig.list, true);  // it opens on the item chosen
  EXPECT_EQ(rig.shown(), "14");
}

// Esc closes the open list only: nothing is chosen, the model's item shows
// again, and the capture (which Esc ends) never hears of it. With the list
// closed, Esc goes to the logic.
TEST(WinComboBox, EscClosesTheListAndNothingElse) {
  Rig rig;
  rig.view.showComboDropDown(rig.list, true);
  rig.key(VK_DOWN);
  rig.key(VK_ESCAPE);
  EXPECT_FALSE(rig.view.comboDropped(rig.list));
  EXPECT_TRUE(rig.sink.log.empty());
  EXPECT_EQ(rig.shown(), "11");
  rig.key(VK_ESCAPE);
  EXPECT_EQ(rig.sink.log, (std::vector<std::string>{"key " + std::to_string(static_cast<int>(KeyCode::Escape))}));
}

// The size box lies in the size chooser, in the size panel, in the style
// panel: it shows, hides and moves with them.
TEST(WinControlView, TextBoxesGoWithTheControlsTheyLieIn) {
  Rig rig;
  HWND sizeBox = nullptr;
  for (HWND e = nullptr; (e = FindWindowExW(rig.window.handle(), e, L"Edit", nullptr));)
    if (GetWindowTextLengthW(e) > 0) sizeBox = e;  // the note is empty, the size box says 11
  ASSERT_NE(sizeBox, nullptr);
  EXPECT_FALSE(IsWindowVisible(sizeBox));
  rig.controls(Ctl::StylePanel).move(100, 50);
  rig.controls(Ctl::StylePanel).show();
  ShowWindow(rig.window.handle(), SW_SHOWNA);  // a child counts as visible only in a visible window
  EXPECT_TRUE(IsWindowVisible(sizeBox));
  const auto placeOf = [&] {
    RECT r{};
    GetWindowRect(sizeBox, &r);
    MapWindowPoints(nullptr, rig.window.handle(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  const ControlState& panel = rig.controls(Ctl::SizePanel).state();
  const ControlState& chooser = rig.controls(Ctl::SizeChooser).state();
  const ControlState& box = rig.controls(Ctl::SizeBox).state();
  const auto expectedLeft = [&](float panelLeft) {
    return static_cast<LONG>(std::nearbyint(panelLeft + panel.left + chooser.left + box.left));
  };
  EXPECT_EQ(placeOf().left, expectedLeft(100));
  rig.controls(Ctl::StylePanel).move(200, 50);
  EXPECT_EQ(placeOf().left, expectedLeft(200));
  rig.controls(Ctl::SizePanel).hide();
  EXPECT_FALSE(IsWindowVisible(sizeBox));
}

// A text box shows its text in its control's colour on white, as typed: the
// colour the text will be drawn in, changed while the box is open.
TEST(WinControlView, TextBoxesShowTheirTextInTheirColour) {
  Rig rig;
  HWND note = nullptr;
  for (HWND e = nullptr; (e = FindWindowExW(rig.window.handle(), e, L"Edit", nullptr));)
    if (GetWindowTextLengthW(e) == 0) note = e;  // the size box says 11
  ASSERT_NE(note, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  const auto colorsFor = [&] {
    const LRESULT brush = SendMessageW(rig.window.handle(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(note));
    EXPECT_EQ(brush, reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH)));
    return std::make_pair(GetTextColor(dc), GetBkColor(dc));
  };
  rig.controls(Ctl::NoteField).setForeColor(0x0000FF);  // red, as COLORREF
  EXPECT_EQ(colorsFor(), std::make_pair(RGB(255, 0, 0), RGB(255, 255, 255)));
  rig.controls(Ctl::NoteField).setForeColor(0xFF8000);
  EXPECT_EQ(colorsFor().first, RGB(0, 0x80, 0xFF));
  DeleteDC(dc);
}

// As text is typed, the box grows to hold it: the text, scrolled left while
// the box was too narrow, shows from its start once the box is wide enough.
TEST(WinControlView, AGrownTextBoxShowsItsTextFromTheStart) {
  Rig rig;
  HWND note = nullptr;
  for (HWND e = nullptr; (e = FindWindowExW(rig.window.handle(), e, L"Edit", nullptr));)
    if (GetWindowTextLengthW(e) == 0) note = e;
  ASSERT_NE(note, nullptr);
  auto& field = rig.controls(Ctl::NoteField);
  field.move(10, 10, 30, 24);
  field.show();
  ShowWindow(rig.window.handle(), SW_SHOWNA);
  const std::string text = "Tolvane keeps the whole line";
  field.setText(text);
  const auto firstCharX = [&] { return static_cast<short>(LOWORD(SendMessageW(note, EM_POSFROMCHAR, 0, 0))); };
  ASSERT_LT(firstCharX(), 0) << "a narrow box scrolls to keep the caret at the end in view";
  field.setWidth(400);
  EXPECT_GE(firstCharX(), 0);
  DWORD from = 0, to = 0;
  SendMessageW(note, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, text.size());  // the caret stays at the end
  EXPECT_EQ(to, text.size());
}

// The text engine keeps one font at a time and lets it go when asked for
// another size; the text boxes' and the combo box's fonts must outlive that.
TEST(WinControlView, ChildWindowsKeepTheirFontsWhileTextIsMeasured) {
  Rig rig;
  HWND sizeBox = FindWindowExW(rig.window.handle(), nullptr, L"Edit", nullptr);
  ASSERT_NE(sizeBox, nullptr);
  rig.text.width("14", 14);
  rig.controls(Ctl::NoteField).setFontSize(14);
  rig.text.width("20", 20);
  for (HWND child : {sizeBox, rig.combo()}) {
    const auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(child, WM_GETFONT, 0, 0));
    EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
  }
}

// The toolbar at (10, 10); its button 7 (the rectangle) lies at (17, 15).
struct ToolbarRig : Rig {
  ToolbarRig() {
    controls(Ctl::Toolbar).move(10, 10);
    controls(Ctl::Toolbar).show();
  }
  // The view painted over white: the pixel at (x, y) as 0xRRGGBB.
  std::uint32_t painted(int x, int y) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 400, -300, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, dib);
    PatBlt(dc, 0, 0, 400, 300, WHITENESS);
    view.paint(dc);
    GdiFlush();
    const std::uint32_t px = static_cast<const std::uint32_t*>(bits)[y * 400 + x] & 0xFFFFFFu;
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
    return px;
  }
};

TEST(WinControlView, ToolButtonsShowTheirIconsInFrontOfTheHoverFrame) {
  ToolbarRig rig;
  EXPECT_EQ(rig.painted(17 + 8, 15 + 3), 0x333D4Au);  // the rectangle icon's top edge
  rig.controls(Ctl::ButtonHover, 7).show();
  EXPECT_EQ(rig.painted(17 + 8, 15 + 3), 0x333D4Au);
  EXPECT_EQ(rig.painted(17 + 8, 15 + 8), 0x94D9FFu);  // the frame's fill shows through the icon
}

TEST(WinControlView, PressesFindTheToolButtons) {
  ToolbarRig rig;
  const Hit hit = rig.view.hitTest(17 + 5, 15 + 6);
  EXPECT_EQ(nameOf(hit.ref), "ToolButton(7)");
  EXPECT_EQ(hit.x, 5);
  EXPECT_EQ(hit.y, 6);
  rig.controls(Ctl::ButtonHover, 7).show();  // shapes take no presses
  EXPECT_EQ(nameOf(rig.view.hitTest(17 + 5, 15 + 6).ref), "ToolButton(7)");
}

// The chooser's three faces lie below the size panel (and the style panel)
// as designed: cut off by them, neither seen nor pressed.
TEST(WinControlView, ControlsShowOnlyWithinTheirParent) {
  Rig rig;
  rig.controls(Ctl::StylePanel).move(0, 0);
  rig.controls(Ctl::StylePanel).show();
  const ControlState& panel = rig.controls(Ctl::SizePanel).state();
  const ControlState& face = rig.controls(Ctl::ChooserFace, 0).state();
  ASSERT_GE(face.top, panel.height);
  const int x = static_cast<int>(panel.left + face.left) + 10, y = static_cast<int>(panel.top + face.top) + 10;
  EXPECT_EQ(nameOf(rig.view.hitTest(x, y).ref), "Window");  // below the style panel too
  const ControlState& chooser = rig.controls(Ctl::SizeChooser).state();
  const int cx = static_cast<int>(panel.left + chooser.left) + 40, cy = static_cast<int>(panel.top + chooser.top) + 3;
  EXPECT_EQ(nameOf(rig.view.hitTest(cx, cy).ref), "SizeChooser");
}

// The tooltip control this thread made for `owner`; nullptr when none.
HWND toolTipsOf(HWND owner) {
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, TOOLTIPS_CLASSW, nullptr));)
    if (GetWindow(w, GW_OWNER) == owner) return w;
  return nullptr;
}

// The tooltip text for window point (x, y); empty where none shows.
std::string tipAt(HWND tips, HWND window, int x, int y) {
  TTHITTESTINFOW hit{};
  hit.hwnd = window;
  hit.pt = {x, y};
  hit.ti.cbSize = TTTOOLINFOW_V2_SIZE;
  if (!SendMessageW(tips, TTM_HITTESTW, 0, reinterpret_cast<LPARAM>(&hit))) return "";
  wchar_t text[256] = {};
  hit.ti.lpszText = text;
  SendMessageW(tips, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&hit.ti));
  return narrow(text);
}

// Every toolbar button tells its design text over its own square, and only
// while the toolbar shows, wherever it was moved.
TEST(WinControlView, ToolButtonsHaveTheirToolTipsWhereTheyShow) {
  ToolbarRig rig;
  HWND tips = toolTipsOf(rig.window.handle());
  ASSERT_NE(tips, nullptr);
  const auto centreOf = [&](int i, int dx) {
    const ControlState& b = rig.controls(Ctl::ToolButton, i).state();
    const ControlState& bar = rig.controls(Ctl::Toolbar).state();
    return POINT{static_cast<LONG>(bar.left + b.left + b.width / 2) + dx, static_cast<LONG>(bar.top + b.top + 8)};
  };
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(i);
    const POINT c = centreOf(i, 0);
    EXPECT_EQ(tipAt(tips, rig.window.handle(), c.x, c.y), texts::kToolTips[static_cast<std::size_t>(i)]);
  }
  EXPECT_EQ(tipAt(tips, rig.window.handle(), 5, 5), "");  // beside the toolbar
  rig.controls(Ctl::Toolbar).move(100, 200);
  POINT c = centreOf(7, 0);
  EXPECT_EQ(tipAt(tips, rig.window.handle(), c.x, c.y), "添加矩形");
  EXPECT_EQ(tipAt(tips, rig.window.handle(), c.x - 90, c.y - 190), "");  // where it was
  rig.controls(Ctl::Toolbar).hide();
  EXPECT_EQ(tipAt(tips, rig.window.handle(), c.x, c.y), "");
}

// With the pointer resting on a button, the tooltip window comes up with its text.
TEST(WinControlView, RestingOnAButtonShowsItsToolTip) {
  ToolbarRig rig;
  ShowWindow(rig.window.handle(), SW_SHOWNA);
  HWND tips = toolTipsOf(rig.window.handle());
  ASSERT_NE(tips, nullptr);
  const ControlState& b = rig.controls(Ctl::ToolButton, 2).state();
  const POINT p{static_cast<LONG>(10 + b.left + 8), 10 + 13};
  SetCursorPos(p.x, p.y);
  SendMessageW(rig.window.handle(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!IsWindowVisible(tips) && std::chrono::steady_clock::now() < end) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(10);
  }
  ASSERT_TRUE(IsWindowVisible(tips));
  wchar_t text[256] = {};
  TOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;
  ti.lpszText = text;
  ASSERT_TRUE(SendMessageW(tips, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
  EXPECT_EQ(narrow(text), "保存 (Ctrl+S)");
}

}  // namespace
}  // namespace tolvane::platform::win32
