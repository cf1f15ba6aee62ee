// Random event sequences through the whole capture window on the fake
// platform: mouse on the window, the handles and the panels, toolbar buttons,
// typed text and keys (with the window or a text box focused), in any order,
// presses held across other events and releases without a press included.
// Controls get events only while shown, as on a real screen. Each run is
// reproducible from its run number.
//
// After every event these must hold:
//  1. No handler lets an exception out.
//  2. A selection that exists lies inside the screen and has no negative size.
//  3. Visible handles sit on the selection's corners and edge midpoints.
//  4. The history index stays within 1 and the newest entry.
//  5. Undo followed by redo gives back the same pixels (checked every few events).
//  6. Outside the selection, the canvas is the veiled frozen screen, except
//     where an annotation was drawn or the last region is still shown
//     undimmed, and after undo back to the clean screen, which has no veil.
//  7. No key but Esc is used while text is typed or a button is held.
//
// TOLVANE_FUZZ_RUNS sets how many runs, TOLVANE_FUZZ_FIRST the first run
// number, TOLVANE_FUZZ_EVENTS the events per run; a failure names the run,
// and TOLVANE_FUZZ_TRACE lists its events as they are sent.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <array>
#include <functional>
#include <random>
#include <string>

#include "selection/backdrop.h"
#include "annotation/history.h"
#include "fake/fake_platform.h"
#include "output/temp_dir.h"

namespace tolvane {
namespace {

using fake::Rig;
using platform::Ctl;

constexpr int kW = 160, kH = 120;

long envOr(const char* name, long fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

// Which pixels may differ from the veiled frozen screen.
class AllowedArea {
 public:
  AllowedArea() : mask_(kW * kH, false) {}
  void clear() { mask_.assign(mask_.size(), false); }
  void add(int left, int top, int right, int bottom) {
    for (int y = std::max(0, top); y < std::min(kH, bottom); ++y)
      for (int x = std::max(0, left); x < std::min(kW, right); ++x) mask_[y * kW + x] = true;
  }
  bool allows(int x, int y) const { return mask_[y * kW + x]; }

 private:
  std::vector<bool> mask_;
};

int differingPixels(const Image& a, const Image& b) {
  int n = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) n += a.pixel(x, y) != b.pixel(x, y);
  return n;
}

class FuzzRun {
 public:
  explicit FuzzRun(unsigned run) : random_(run), rig_(kW, kH) {
    rig_.view.quiet = true;
    frozen_ = *rig_.screen.picture;
    veiled_ = frozen_;
    picture::raster::veil(veiled_, veiled_.rect(), selection::kVeil);
  }

  void play(int events) {
    ASSERT_TRUE(rig_.start());
    check("start", false);
    const bool trace = std::getenv("TOLVANE_FUZZ_TRACE") != nullptr;
    for (int i = 0; i < events && !rig_.app.closed; ++i) {
      const std::string what = step();
      if (trace) std::fprintf(stderr, "%d %s\n", i, what.c_str());
      check("event " + std::to_string(i) + " (" + what + ")", what == "toolbar 0" || what == "key Ctrl+z");
      if (::testing::Test::HasFatalFailure()) return;
    }
  }

 private:
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }
  bool chance(int percent) { return pick(1, 100) <= percent; }
  float coord(int limit) {
    // Mostly whole pixels, sometimes halves, now and then on the screen's edge.
    if (chance(5)) return chance(50) ? 0.f : static_cast<float>(limit - 1);
    return static_cast<float>(pick(0, limit - 1)) + (chance(20) ? 0.5f : 0.f);
  }
  int button() {
    const int r = pick(1, 100);
    return r <= 75 ? platform::kLeft : r <= 90 ? platform::kRight : platform::kMiddle;
  }

  // Sends `send` and names it; anything it throws fails the test.
  std::string guarded(const std::string& what, const std::function<void()>& send) {
    try {
      send();
    } catch (const std::exception& e) {
      ADD_FAILURE() << what << " threw " << e.what();
    } catch (...) {
      ADD_FAILURE() << what << " threw";
    }
    return what;
  }

  // Sends one event, or a short burst a user makes in one gesture, and names it.
  std::string step() {
    const int kind = pick(0, 99);
    // While a button is held on the window, the window has the pointer: no
    // other control can be pressed until it is released.
    if (held_ && kind >= 42 && kind < 82) return "pointer held by the window";
    if (kind < 30) return windowDrag();
    if (kind < 38) return windowEvent();
    if (kind < 42) return doubleClick();
    if (kind < 55) return handleDrag();
    if (kind < 72) return toolbarButton();
    if (kind < 82) return stylePanel();
    if (kind < 90) return typing();
    return chance(20) ? selectRegion() : key();
  }

  // A drag on the window.
  std::string windowDrag() {
    const int b = button();
    const float x0 = coord(kW), y0 = coord(kH);
    return guarded("drag", [&] {
      rig_.down(x0, y0, b);
      for (int n = pick(0, 4); n > 0 && !rig_.app.closed; --n) rig_.move(coord(kW), coord(kH), b | held_);
      if (!rig_.app.closed) rig_.up(coord(kW), coord(kH), b);
      held_ &= ~b;
    });
  }

  // Single events: a press and its release may lie far apart.
  std::string windowEvent() {
    const int b = button();
    const float x = coord(kW), y = coord(kH);
    const int which = pick(0, 2);
    return guarded("form event", [&] {
      // Moves report the buttons held, as the window system does.
      if (which == 0) {
        rig_.down(x, y, b);
        held_ |= b;
      }
      if (which == 1) rig_.move(x, y, held_);
      if (which == 2) {
        rig_.up(x, y, b);
        held_ &= ~b;
      }
    });
  }

  // A left double click.
  std::string doubleClick() {
    const float x = coord(kW), y = coord(kH);
    rig_.dialog.answer.reset();
    return guarded("double click", [&] {
      rig_.down(x, y);
      rig_.up(x, y);
      if (!rig_.app.closed) rig_.form.dblClick({Ctl::Window, -1});
      if (!rig_.app.closed) rig_.up(x, y);
      held_ &= ~platform::kLeft;
    });
  }

  // A handle dragged.
  std::string handleDrag() {
    const int h = pick(0, 7);
    if (!rig_.ctl(Ctl::Handle, h).visible()) return "hidden handle";
    return guarded("handle " + std::to_string(h), [&] {
      rig_.form.mouseDown({Ctl::Handle, h}, {platform::kLeft, 0, 4, 4});
      for (int n = pick(1, 4); n > 0; --n) {
        const auto whole = [](float v) { return static_cast<float>(static_cast<int>(v)); };  // whole pixels
        rig_.form.mouseMove({Ctl::Handle, h}, {platform::kLeft, 0, whole(coord(kW)), whole(coord(kH))});
      }
      rig_.form.mouseUp({Ctl::Handle, h}, {platform::kLeft, 0, 4, 4});
    });
  }

  // The save dialog, if it comes, names a file or is cancelled.
  void answerTheSaveDialog() {
    rig_.dialog.answer.reset();
    if (chance(50))
      rig_.dialog.answer = platform::SaveAnswer{dir_.path("shot" + std::to_string(pick(0, 3)) + ".png"), 1};
  }

  // A toolbar button; finishing ones are rare.
  std::string toolbarButton() {
    if (!rig_.ctl(Ctl::Toolbar).visible()) return "hidden toolbar";
    int b = pick(0, 8);
    if ((b >= 1 && b <= 3) && !chance(15)) b = 0;
    if (b == 2) answerTheSaveDialog();
    return guarded("toolbar " + std::to_string(b), [&] {
      rig_.form.mouseMove({Ctl::ToolButton, b}, {0, 0, 3, 3});
      rig_.clickTool(b);
    });
  }

  // The style panel.
  std::string stylePanel() {
    if (!rig_.ctl(Ctl::StylePanel).visible()) return "hidden style panel";
    const int which = pick(0, 4);
    return guarded("style panel " + std::to_string(which), [&] {
      switch (which) {
        case 0: rig_.form.mouseUp({Ctl::Swatch, pick(0, 15)}, {platform::kLeft, 0, 2, 2}); break;
        case 1: rig_.form.mouseMove({Ctl::Swatch, pick(0, 16)}, {0, 0, 2, 2}); break;
        case 2: rig_.form.mouseDown({Ctl::SizeChooser, -1}, {platform::kLeft, 0, 2, 2}); break;
        case 3: {
          static const char* const kSizes[] = {"6", "11", "20", "0", "-3", "abc", "", "99999", "12.5", "1e9"};
          rig_.form.textChanged({Ctl::SizeBox, -1}, kSizes[pick(0, 9)]);
          break;
        }
        default: rig_.form.click({Ctl::SizeList, -1}); break;
      }
    });
  }

  // Typing into the text box.
  std::string typing() {
    if (!rig_.ctl(Ctl::NoteField).visible()) return "hidden text box";
    static const char* const kTexts[] = {"", "a", "Hello", "中文ab", "x\ty", "一二三四五六七八九十", "\xff\xfe"};
    const std::string text = kTexts[pick(0, 6)];
    return guarded("text", [&] { rig_.form.textChanged({Ctl::NoteField, -1}, text); });
  }

  // A region chosen without the mouse, partly off the screen now and then;
  // as at start-up or by Ctrl+A, never while a button is held.
  std::string selectRegion() {
    if (held_) return "held: no region chosen";
    const int l = pick(-20, kW), t = pick(-20, kH);
    const IRect r{l, t, l + pick(0, kW), t + pick(0, kH)};
    return guarded("select region", [&] { rig_.form.selectRegion(r); });
  }

  // A key, with the window or a text box holding the keyboard. Esc and the
  // keys that finish are rare. Keys that must be left alone are checked.
  std::string key() {
    using platform::KeyCode;
    static const KeyCode kArrows[] = {KeyCode::Left, KeyCode::Right, KeyCode::Up, KeyCode::Down};
    static const char kLetters[] = {'z', 'y', 'a', 'z', 'q', 'c', 's'};
    platform::Key k{kArrows[pick(0, 3)], 0, chance(30), chance(30), chance(5)};
    const int kind = pick(1, 100);
    if (kind <= 3) k = {KeyCode::Escape};
    else if (kind <= 5) k = {KeyCode::Enter};
    else if (kind <= 45) k = {KeyCode::Letter, kLetters[pick(0, 4)], chance(90), chance(30)};
    else if (kind <= 47) k = {KeyCode::Letter, kLetters[pick(5, 6)], true};
    if (k.letter == 's') answerTheSaveDialog();
    const int f = pick(1, 10);
    const platform::CtlRef focus{f == 1 ? Ctl::NoteField : f == 2 ? Ctl::SizeBox : Ctl::Window, -1};
    const bool typed = focus.ctl != Ctl::Window || rig_.ctl(Ctl::NoteField).visible();
    std::string name = std::string(k.ctrl ? "key Ctrl+" : "key ") + (k.shift ? "Shift+" : "") + (k.alt ? "Alt+" : "");
    name += k.code == KeyCode::Letter ? std::string(1, k.letter) : "code " + std::to_string(static_cast<int>(k.code));
    if (focus.ctl != Ctl::Window) name += focus.ctl == Ctl::NoteField ? " in the note" : " in the size box";
    return guarded(name, [&] {
      const bool used = rig_.form.keyDown(focus, k);
      if (used && k.code != KeyCode::Escape && (typed || held_ != 0))
        ADD_FAILURE() << name << " was used while text is typed or a button is held";
    });
  }

  void check(const std::string& when, bool undone) {
    SCOPED_TRACE(when);
    if (rig_.app.closed) return;
    checkRegion();
    if (::testing::Test::HasFatalFailure()) return;
    // 4. The history index.
    const annotation::History& history = rig_.form.history();
    ASSERT_GE(history.index(), 1);
    ASSERT_LE(history.index(), history.top());
    noteAnnotations(undone);
    if (!rig_.surface.persistent()) return;  // a stroke is being previewed
    const Image canvas = rig_.surface.image();
    checkCanvas(canvas);
    if (::testing::Test::HasFatalFailure()) return;
    checkUndoRedo(canvas);
  }

  void checkRegion() {
    const auto& frame = rig_.ctl(Ctl::SelectionFrame);
    const float L = frame.left(), T = frame.top(), W = frame.width(), H = frame.height();
    const bool selected = rig_.form.region().made();

    // 2. The selection lies inside the screen.
    ASSERT_GE(W, 0.f);
    ASSERT_GE(H, 0.f);
    if (selected) {
      ASSERT_GE(L, 0.f);
      ASSERT_GE(T, 0.f);
      ASSERT_LE(L + W, static_cast<float>(kW));
      ASSERT_LE(T + H, static_cast<float>(kH));
    }

    // 3. Handles follow the selection: each centre within a handle's size of
    // its anchor point.
    const float ax[8] = {L, L + W / 2, L + W, L, L, L + W / 2, L + W, L + W};
    const float ay[8] = {T, T, T, T + H / 2, T + H, T + H, T + H, T + H / 2};
    for (int i = 0; i < 8; ++i) {
      const auto& h = rig_.ctl(Ctl::Handle, i);
      if (!h.visible()) continue;
      ASSERT_NEAR(h.left() + h.width() / 2, ax[i], h.width()) << "handle " << i;
      ASSERT_NEAR(h.top() + h.height() / 2, ay[i], h.height()) << "handle " << i;
    }
  }

  // Where annotations may have changed the canvas since the last check.
  void noteAnnotations(bool undone) {
    const auto& frame = rig_.ctl(Ctl::SelectionFrame);
    const float L = frame.left(), T = frame.top(), W = frame.width(), H = frame.height();
    const annotation::History& history = rig_.form.history();
    // 6. The canvas outside the selection.
    // The undimmed hole is the region of the last repaint; a frame shown at
    // zero size (a press that starts a new region) repaints nothing.
    const std::array<float, 4> now{L, T, W, H};
    if (frame.visible() && W > 0 && H > 0) {
      if (now != lastShown_) unveiled_ = false;  // a drag step repainted the whole screen
      lastShown_ = now;
    }
    // Undo back to the first entry shows the frozen screen without its veil.
    if (undone && history.index() == 1 && history.top() > 1) unveiled_ = true;
    if (history.top() > pushed_ || history.index() > index_) {  // a new annotation: anywhere near the selection, or text to the right
      const auto& box = rig_.ctl(Ctl::NoteField);
      allowed_.add(static_cast<int>(L) - 14, static_cast<int>(T) - 14, static_cast<int>(L + W) + 15,
                   static_cast<int>(T + H) + 15);
      allowed_.add(static_cast<int>(box.left()) - 2, static_cast<int>(box.top()) - 2, kW,
                   static_cast<int>(box.top()) + 40);
    }
    pushed_ = history.top();
    index_ = history.index();
  }

  void checkCanvas(const Image& canvas) {
    const auto& frame = rig_.ctl(Ctl::SelectionFrame);
    const float L = frame.left(), T = frame.top(), W = frame.width(), H = frame.height();
    AllowedArea area = allowed_;
    area.add(static_cast<int>(std::floor(lastShown_[0])), static_cast<int>(std::floor(lastShown_[1])),
             static_cast<int>(std::ceil(lastShown_[0] + lastShown_[2])) + 1,
             static_cast<int>(std::ceil(lastShown_[1] + lastShown_[3])) + 1);
    area.add(static_cast<int>(std::floor(L)), static_cast<int>(std::floor(T)), static_cast<int>(std::ceil(L + W)) + 1,
             static_cast<int>(std::ceil(T + H)) + 1);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        if (!area.allows(x, y) && !(unveiled_ && canvas.pixel(x, y) == frozen_.pixel(x, y))) {
          ASSERT_EQ(canvas.pixel(x, y), veiled_.pixel(x, y)) << "pixel " << x << "," << y;
        }
  }

  void checkUndoRedo(const Image& canvas) {
    const annotation::History& history = rig_.form.history();
    // 5. Undo then redo, now and then, when nothing is half done.
    if (++sinceUndoCheck_ >= 7 && history.index() > 1 && !rig_.ctl(Ctl::NoteField).visible()) {
      sinceUndoCheck_ = 0;
      const auto& steps = rig_.form.history();
      const int index = steps.index();
      rig_.clickTool(0);
      ASSERT_EQ(steps.index(), index - 1);
      rig_.clickTool(8);
      ASSERT_EQ(steps.index(), index);
      ASSERT_EQ(differingPixels(rig_.surface.image(), canvas), 0) << "undo then redo at entry " << index;
    }
  }

  std::mt19937 random_;
  Rig rig_;
  Image frozen_, veiled_;
  testutil::TempDir dir_;
  AllowedArea allowed_;
  std::array<float, 4> lastShown_{};
  int held_ = 0;  // buttons pressed on the window and not yet released
  int pushed_ = 1;
  int index_ = 1;
  bool unveiled_ = false;
  int sinceUndoCheck_ = 0;
};

TEST(EventFuzz, InvariantsHoldUnderRandomEvents) {
  const long first = envOr("TOLVANE_FUZZ_FIRST", 1);
  const long runs = envOr("TOLVANE_FUZZ_RUNS", 150);
  const int events = static_cast<int>(envOr("TOLVANE_FUZZ_EVENTS", 120));
  for (long run = first; run < first + runs; ++run) {
    SCOPED_TRACE("run " + std::to_string(run) + " (replay: TOLVANE_FUZZ_FIRST=" + std::to_string(run) +
                 " TOLVANE_FUZZ_RUNS=1)");
    FuzzRun(static_cast<unsigned>(run)).play(events);
    if (::testing::Test::HasFailure()) return;
  }
}

}  // namespace
}  // namespace tolvane
