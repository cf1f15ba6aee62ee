// The keyboard's commands on a capture: each one's outcome, and when keys
// must do nothing.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <vector>

#include "fake/fake_platform.h"
#include "output/temp_dir.h"

namespace tolvane {
namespace {

using fake::ctrlKey;
using fake::keyOf;
using fake::Rig;
using platform::Ctl;
using platform::Key;
using platform::KeyCode;

constexpr int kW = 320, kH = 240;

// What the user sees of the region: the frame, the handles, the size label
// and the toolbar.
struct Seen {
  std::array<float, 4> frame;
  std::array<std::array<float, 2>, 8> handles;
  std::array<float, 2> toolbar, sizeLabel;
  std::string size;
  bool toolbarShown, handlesShown;
  friend bool operator==(const Seen&, const Seen&) = default;
};

Seen seen(Rig& r) {
  Seen s{};
  const auto& f = r.ctl(Ctl::SelectionFrame);
  s.frame = {f.left(), f.top(), f.width(), f.height()};
  for (int i = 0; i < 8; ++i)
    s.handles[static_cast<std::size_t>(i)] = {r.ctl(Ctl::Handle, i).left(), r.ctl(Ctl::Handle, i).top()};
  s.toolbar = {r.ctl(Ctl::Toolbar).left(), r.ctl(Ctl::Toolbar).top()};
  s.sizeLabel = {r.ctl(Ctl::SizeLabel).left(), r.ctl(Ctl::SizeLabel).top()};
  s.size = r.ctl(Ctl::SizeLabel).caption();
  s.toolbarShown = r.ctl(Ctl::Toolbar).visible();
  s.handlesShown = r.ctl(Ctl::Handle, 6).visible();
  return s;
}

std::array<float, 4> frame(Rig& r) { return seen(r).frame; }

// A capture with the region dragged out from (l, t) to (r, b).
struct Capture : Rig {
  Capture(float l, float t, float r, float b) : Rig(kW, kH) {
    EXPECT_TRUE(start());
    drag(l, t, r, b);
  }
};

TEST(Keyboard, WithoutARegionOnlyEscAndCtrlADoAnything) {
  Rig rig(kW, kH);
  ASSERT_TRUE(rig.start());
  const Image before = rig.surface.image();
  for (const Key k : {ctrlKey('c'), keyOf(KeyCode::Enter), ctrlKey('s'), ctrlKey('z'), ctrlKey('y'),
                      keyOf(KeyCode::Left), keyOf(KeyCode::Down, false, true), keyOf(KeyCode::Right, true)}) {
    EXPECT_FALSE(rig.key(k));
  }
  EXPECT_FALSE(rig.form.region().made());
  EXPECT_FALSE(rig.ctl(Ctl::SelectionFrame).visible());
  EXPECT_FALSE(rig.clipboard.picture.has_value());
  EXPECT_FALSE(rig.dialog.request.has_value());
  EXPECT_FALSE(rig.app.closed);
  EXPECT_EQ(rig.surface.image(), before);

  // Ctrl+A: the whole screen, as selectRegion makes it.
  EXPECT_TRUE(rig.key(ctrlKey('a')));
  Rig selected(kW, kH);
  ASSERT_TRUE(selected.start());
  selected.form.selectRegion({0, 0, kW, kH});
  EXPECT_TRUE(rig.form.region().made());
  EXPECT_EQ(seen(rig), seen(selected));
  EXPECT_EQ(rig.surface.image(), selected.surface.image());
}

// A click without a drag leaves an empty region: nothing for the
// keys to move, resize or copy.
TEST(Keyboard, AnEmptyRegionIsNoRegion) {
  Rig rig(kW, kH);
  ASSERT_TRUE(rig.start());
  rig.down(60, 50);
  rig.up(60, 50);
  ASSERT_TRUE(rig.form.region().made());
  const Image before = rig.surface.image();
  for (const Key& k : {keyOf(KeyCode::Right), keyOf(KeyCode::Down, true), keyOf(KeyCode::Right, true), ctrlKey('c')})
    EXPECT_FALSE(rig.key(k));
  EXPECT_EQ(frame(rig), (std::array{60.f, 50.f, 0.f, 0.f}));
  EXPECT_FALSE(rig.ctl(Ctl::Handle, 6).visible());
  EXPECT_EQ(rig.surface.image(), before);
  EXPECT_FALSE(rig.clipboard.picture.has_value());
  EXPECT_TRUE(rig.key(ctrlKey('a')));
  EXPECT_EQ(frame(rig), (std::array{0.f, 0.f, float(kW), float(kH)}));
}

TEST(Keyboard, ArrowsMoveTheRegionAsADragDoes) {
  const struct {
    Key key;
    float dx, dy;
  } cases[] = {
      {keyOf(KeyCode::Left), -1, 0},
      {keyOf(KeyCode::Right), 1, 0},
      {keyOf(KeyCode::Up), 0, -1},
      {keyOf(KeyCode::Down), 0, 1},
      {keyOf(KeyCode::Left, false, true), -10, 0},
      {keyOf(KeyCode::Down, false, true), 0, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.dx) + "," + std::to_string(c.dy));
    Capture keyed(40, 30, 140, 90), dragged(40, 30, 140, 90);
    EXPECT_TRUE(keyed.key(c.key));
    dragged.drag(60, 50, 60 + c.dx, 50 + c.dy);
    EXPECT_EQ(frame(keyed), (std::array{40 + c.dx, 30 + c.dy, 100.f, 60.f}));
    EXPECT_EQ(seen(keyed), seen(dragged));
    EXPECT_EQ(keyed.surface.image(), dragged.surface.image());
  }
}

TEST(Keyboard, MovesStopAtEveryEdgeOfTheScreen) {
  // A 50x40 region 4 px from the edge the key moves towards, moved twice by 10.
  const struct {
    const char* edge;
    IRect from;
    Key key;
    std::array<float, 4> after;
  } cases[] = {
      {"left", {4, 100, 54, 140}, keyOf(KeyCode::Left, false, true), {0, 100, 50, 40}},
      {"top", {4, 4, 54, 44}, keyOf(KeyCode::Up, false, true), {4, 0, 50, 40}},
      {"right", {kW - 54, 100, kW - 4, 140}, keyOf(KeyCode::Right, false, true), {kW - 50, 100, 50, 40}},
      {"bottom", {4, kH - 44, 54, kH - 4}, keyOf(KeyCode::Down, false, true), {4, kH - 40, 50, 40}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.edge);
    Rig rig(kW, kH);
    ASSERT_TRUE(rig.start());
    rig.form.selectRegion(c.from);
    EXPECT_TRUE(rig.key(c.key));
    EXPECT_TRUE(rig.key(c.key));
    EXPECT_EQ(frame(rig), c.after);
    // Handles, labels and toolbar sit where a fresh region there puts them.
    Rig fresh(kW, kH);
    ASSERT_TRUE(fresh.start());
    fresh.form.selectRegion({static_cast<int>(c.after[0]), static_cast<int>(c.after[1]),
                             static_cast<int>(c.after[0] + c.after[2]), static_cast<int>(c.after[1] + c.after[3])});
    EXPECT_EQ(seen(rig), seen(fresh));
    EXPECT_EQ(rig.surface.image(), fresh.surface.image());
  }
}

TEST(Keyboard, CtrlArrowsMoveTheBottomRightCorner) {
  const struct {
    const char* name;
    IRect from;
    Key key;
    int times;
    IRect after;
  } cases[] = {
      {"wider", {40, 30, 140, 90}, keyOf(KeyCode::Right, true), 1, {40, 30, 141, 90}},
      {"taller", {40, 30, 140, 90}, keyOf(KeyCode::Down, true), 3, {40, 30, 140, 93}},
      {"narrower", {40, 30, 140, 90}, keyOf(KeyCode::Left, true), 2, {40, 30, 138, 90}},
      {"shorter", {40, 30, 140, 90}, keyOf(KeyCode::Up, true), 1, {40, 30, 140, 89}},
      {"Shift changes nothing", {40, 30, 140, 90}, keyOf(KeyCode::Right, true, true), 1, {40, 30, 141, 90}},
      {"never under a pixel wide", {40, 30, 42, 90}, keyOf(KeyCode::Left, true), 4, {40, 30, 41, 90}},
      {"never under a pixel high", {40, 30, 140, 31}, keyOf(KeyCode::Up, true), 2, {40, 30, 140, 31}},
      {"held at the right edge", {300, 30, kW, 90}, keyOf(KeyCode::Right, true), 2, {300, 30, kW, 90}},
      {"held at the bottom", {40, 200, 140, kH}, keyOf(KeyCode::Down, true), 1, {40, 200, 140, kH}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(kW, kH), fresh(kW, kH);
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(fresh.start());
    rig.form.selectRegion(c.from);
    for (int i = 0; i < c.times; ++i) EXPECT_TRUE(rig.key(c.key));
    fresh.form.selectRegion(c.after);
    EXPECT_EQ(seen(rig), seen(fresh));
    EXPECT_EQ(rig.surface.image(), fresh.surface.image());
  }
}

// Ctrl+C and Enter copy exactly as the copy button does; Ctrl+S saves as the
// save button does.
TEST(Keyboard, CopyAndSaveDoWhatTheirButtonsDo) {
  testutil::TempDir dir;
  const struct {
    const char* name;
    Key key;
    int button;
  } cases[] = {
      {"Ctrl+C", ctrlKey('c'), 1},
      {"Enter", keyOf(KeyCode::Enter), 1},
      {"Ctrl+S", ctrlKey('s'), 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Capture keyed(40, 30, 140, 90), clicked(40, 30, 140, 90);
    keyed.dialog.answer = platform::SaveAnswer{dir.path("key.png"), 1};
    clicked.dialog.answer = platform::SaveAnswer{dir.path("button.png"), 1};
    keyed.log.clear();
    clicked.log.clear();
    EXPECT_TRUE(keyed.key(c.key));
    clicked.clickTool(c.button);
    EXPECT_EQ(keyed.log, clicked.log);
    EXPECT_TRUE(keyed.app.closed);
    EXPECT_EQ(keyed.clipboard.picture, clicked.clipboard.picture);
    EXPECT_TRUE(keyed.clipboard.seenWhenTaken.windowOnScreen);  // taken while the window has the keyboard
    if (c.button == 1) {
      ASSERT_TRUE(keyed.clipboard.picture.has_value());
      EXPECT_EQ(*keyed.clipboard.picture, keyed.screen.picture->copy({40, 30, 140, 90}));
    }
  }
  EXPECT_TRUE(std::filesystem::exists(dir.path("key.png")));
}

TEST(Keyboard, TheCopyHoldsTheMovedRegion) {
  Capture rig(40, 30, 140, 90);
  rig.key(keyOf(KeyCode::Right, false, true));
  rig.key(keyOf(KeyCode::Up));
  rig.key(keyOf(KeyCode::Down, true));
  rig.key(ctrlKey('c'));
  ASSERT_TRUE(rig.clipboard.picture.has_value());
  EXPECT_EQ(*rig.clipboard.picture, rig.screen.picture->copy({50, 29, 150, 90}));
  EXPECT_TRUE(rig.app.closed);
}

TEST(Keyboard, UndoAndRedoDoWhatTheirButtonsDo) {
  Capture keyed(20, 20, 200, 200), clicked(20, 20, 200, 200);
  for (Rig* r : {static_cast<Rig*>(&keyed), static_cast<Rig*>(&clicked)}) {
    r->clickTool(7);  // rectangle
    r->drag(40, 40, 100, 100);
  }
  const Image drawn = keyed.surface.image();
  // Undo, redo both ways, undo, and undo past the clean screen.
  const struct {
    Key key;
    int button;
  } steps[] = {{ctrlKey('z'), 0}, {ctrlKey('y'), 8}, {ctrlKey('z'), 0}, {ctrlKey('z', true), 8},
               {ctrlKey('z'), 0}, {ctrlKey('z'), 0}};
  for (const auto& step : steps) {
    EXPECT_TRUE(keyed.key(step.key));
    clicked.clickTool(step.button);
    EXPECT_EQ(keyed.surface.image(), clicked.surface.image());
    EXPECT_EQ(keyed.form.history().index(), clicked.form.history().index());
    EXPECT_EQ(seen(keyed), seen(clicked));
  }
  EXPECT_FALSE(keyed.form.region().made());
  // The steps did change the picture: after the first redo it was the drawing again.
  Capture again(20, 20, 200, 200);
  again.clickTool(7);
  again.drag(40, 40, 100, 100);
  again.key(ctrlKey('z'));
  EXPECT_NE(again.surface.image(), drawn);
  again.key(ctrlKey('y'));
  EXPECT_EQ(again.surface.image(), drawn);
}

// Every key but Esc; Enter and Ctrl+C last, as they end the capture if used.
std::vector<Key> everyCommand() {
  return {keyOf(KeyCode::Left), keyOf(KeyCode::Up, false, true), keyOf(KeyCode::Right, true), ctrlKey('z'),
          ctrlKey('y'), ctrlKey('a'), ctrlKey('s'), keyOf(KeyCode::Enter), ctrlKey('c')};
}

TEST(Keyboard, KeysDoNothingWhileAMouseButtonIsHeld) {
  const struct {
    const char* name;
    std::function<void(Rig&)> press;
  } cases[] = {
      {"moving the region", [](Rig& r) { r.down(60, 50); r.move(70, 55); }},
      {"drawing a new band", [](Rig& r) { r.down(200, 150); r.move(250, 200); }},
      {"right button", [](Rig& r) { r.down(60, 50, platform::kRight); }},
      {"a handle", [](Rig& r) { r.form.mouseDown({Ctl::Handle, 6}, {platform::kLeft, 0, 4, 4}); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Capture rig(40, 30, 140, 90);
    c.press(rig);
    const Seen before = seen(rig);
    const Image picture = rig.surface.image();
    for (const Key& k : everyCommand()) EXPECT_FALSE(rig.key(k));
    EXPECT_EQ(seen(rig), before);
    EXPECT_EQ(rig.surface.image(), picture);
    EXPECT_FALSE(rig.clipboard.picture.has_value());
    EXPECT_FALSE(rig.dialog.request.has_value());
    EXPECT_FALSE(rig.app.closed);
  }
}

TEST(Keyboard, KeysBelongToTheTextWhileItIsTyped) {
  const struct {
    const char* name;
    bool noteOpen;
    Ctl focus;
  } cases[] = {
      {"note open", true, Ctl::NoteField},
      {"note open, focus elsewhere", true, Ctl::Window},
      {"size box", false, Ctl::SizeBox},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Capture rig(40, 30, 200, 150);
    rig.clickTool(5);  // text
    if (c.noteOpen) {
      rig.down(60, 50);
      rig.up(60, 50);
      rig.form.textChanged({Ctl::NoteField, -1}, "note");
      ASSERT_TRUE(rig.ctl(Ctl::NoteField).visible());
    }
    const Seen before = seen(rig);
    const Image picture = rig.surface.image();
    for (const Key& k : everyCommand()) EXPECT_FALSE(rig.key(k, {c.focus, -1}));
    EXPECT_EQ(seen(rig), before);
    EXPECT_EQ(rig.surface.image(), picture);
    EXPECT_EQ(rig.form.history().top(), 1);
    EXPECT_EQ(rig.ctl(Ctl::NoteField).visible(), c.noteOpen);
    EXPECT_FALSE(rig.clipboard.picture.has_value());
    EXPECT_FALSE(rig.app.closed);
    // Esc still ends the capture.
    EXPECT_TRUE(rig.key(keyOf(KeyCode::Escape), {c.focus, -1}));
    EXPECT_TRUE(rig.app.closed);
  }
}

// As with the handles: a drawing pins the region; a tool chosen with nothing
// drawn yet is let go.
TEST(Keyboard, ADrawingPinsTheRegion) {
  Capture rig(20, 20, 200, 200);
  rig.clickTool(7);
  rig.drag(40, 40, 100, 100);
  const Seen before = seen(rig);
  const Image drawn = rig.surface.image();
  for (const Key k : {keyOf(KeyCode::Left), keyOf(KeyCode::Right, true), ctrlKey('a')}) rig.key(k);
  EXPECT_EQ(seen(rig), before);
  EXPECT_EQ(rig.surface.image(), drawn);
  EXPECT_EQ(rig.form.history().top(), 2);
}

TEST(Keyboard, AMoveLetsGoOfAToolWithNothingDrawn) {
  Capture rig(20, 20, 200, 200);
  rig.clickTool(7);
  ASSERT_TRUE(rig.ctl(Ctl::StylePanel).visible());
  EXPECT_TRUE(rig.key(keyOf(KeyCode::Right)));
  EXPECT_EQ(frame(rig), (std::array{21.f, 20.f, 180.f, 180.f}));
  EXPECT_FALSE(rig.ctl(Ctl::StylePanel).visible());
  // No tool: a drag inside moves the region rather than drawing.
  rig.drag(100, 100, 110, 100);
  EXPECT_EQ(frame(rig), (std::array{31.f, 20.f, 180.f, 180.f}));
  EXPECT_EQ(rig.form.history().top(), 1);
}

}  // namespace
}  // namespace tolvane
