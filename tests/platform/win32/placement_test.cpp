// The save dialog and the message box come up centred on the monitor that
// holds the capture's region, not over the capture window or in a corner.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

#include "platform/win32/dialogs.h"
#include "platform/win32/placement.h"

namespace tolvane::platform::win32 {
namespace {

TEST(DialogPlacement, CentresInTheAreaAndStartsAtItsEdgeWhenTooLarge) {
  struct Case {
    int width, height;
    RECT area;
    POINT expected;
  };
  const Case cases[] = {
      {200, 100, {0, 0, 1920, 1040}, {860, 470}},
      {200, 100, {1920, 0, 3200, 984}, {2460, 442}},     // the monitor on the right
      {200, 100, {-1280, -200, 0, 824}, {-740, 262}},    // one left of and above the primary
      {201, 101, {0, 0, 400, 300}, {99, 99}},             // odd sizes round towards the top-left
      {2000, 100, {0, 0, 1920, 1040}, {0, 470}},          // wider than the area
      {200, 1200, {1920, 40, 3200, 1024}, {2460, 40}},    // taller: at the top, below a top taskbar
  };
  for (const Case& c : cases) {
    const POINT p = centredIn(c.width, c.height, c.area);
    EXPECT_EQ(p.x, c.expected.x) << c.width << "x" << c.height << " in " << c.area.left << "," << c.area.top;
    EXPECT_EQ(p.y, c.expected.y) << c.width << "x" << c.height << " in " << c.area.left << "," << c.area.top;
  }
}

// Finds the dialog box this thread shows, notes where it is once it has
// settled (it has been seen for 200 ms) and cancels it.
struct DialogWatch {
  static inline RECT seen{};
  static inline bool found = false;
  static inline int ticks = 0, sightings = 0;
  static BOOL CALLBACK each(HWND w, LPARAM) {
    wchar_t name[16] = {};
    GetClassNameW(w, name, 16);
    if (std::wstring_view(name) != L"#32770" || !IsWindowVisible(w)) return TRUE;
    if (++sightings < 4 || found) return FALSE;
    GetWindowRect(w, &seen);
    found = true;
    PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
    return FALSE;
  }
  static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    if (++ticks > 200) std::abort();  // 10 s and no dialog: it would never end
    EnumThreadWindows(GetCurrentThreadId(), each, 0);
  }
  UINT_PTR timer;
  DialogWatch() : timer(SetTimer(nullptr, 0, 50, tick)) { found = false, ticks = 0, sightings = 0; }
  ~DialogWatch() { KillTimer(nullptr, timer); }
};

// A dialog centred in the work area of the monitor that holds `region`, within a pixel.
void expectCentredOn(const RECT& region) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoW(MonitorFromRect(&region, MONITOR_DEFAULTTONEAREST), &info);
  const RECT& area = info.rcWork;
  const RECT& r = DialogWatch::seen;
  ASSERT_TRUE(DialogWatch::found);
  EXPECT_LE(std::abs((r.left + r.right) - (area.left + area.right)), 2) << r.left << " " << r.right;
  EXPECT_LE(std::abs((r.top + r.bottom) - (area.top + area.bottom)), 2) << r.top << " " << r.bottom;
}

// The owner is a small window in the screen's corner, as a capture window
// is small beside a monitor: centred on it, the dialogs would be off centre.
struct Owner {
  HWND hwnd = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 200, 150, nullptr, nullptr, nullptr, nullptr);
  ~Owner() { DestroyWindow(hwnd); }
};

TEST(DialogPlacement, TheRealDialogsLandCentredOnTheRegionsMonitor) {
  Owner owner;
  const RECT region{300, 250, 500, 400};
  const RegionOnScreen at = [&] { return std::optional<RECT>(region); };
  {
    DialogWatch watch;
    WinMessageBox(owner.hwnd, at).information("错误", "在处理操作时发生错误");
    SCOPED_TRACE("the message box");
    expectCentredOn(region);
  }
  {
    DialogWatch watch;
    SaveRequest request;
    request.title = "保存";
    request.filters = {{"PNG", "*.png"}};
    request.fileName = "截图";
    EXPECT_FALSE(WinSaveDialog(owner.hwnd, at).run(request).has_value());
    SCOPED_TRACE("the save dialog");
    expectCentredOn(region);
  }
}

}  // namespace
}  // namespace tolvane::platform::win32
