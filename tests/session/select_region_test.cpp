// Choosing a region without the mouse: it must be the same region a left
// drag makes, so that everything after it works as after a drag.
#include <gtest/gtest.h>

#include "fake/fake_platform.h"

namespace tolvane {
namespace {

using fake::Rig;
using platform::Ctl;

struct Seen {
  std::array<float, 4> frame;
  bool frameShown, toolbarShown, sizeShown;
  std::array<float, 2> toolbar, sizeLabel;
  std::string size;
  std::array<std::pair<float, float>, 8> handles;
  std::array<bool, 8> handlesShown;
  friend bool operator==(const Seen&, const Seen&) = default;
};

Seen seen(Rig& r) {
  Seen s{};
  const auto& f = r.ctl(Ctl::SelectionFrame);
  s.frame = {f.left(), f.top(), f.width(), f.height()};
  s.frameShown = f.visible();
  s.toolbarShown = r.ctl(Ctl::Toolbar).visible();
  s.toolbar = {r.ctl(Ctl::Toolbar).left(), r.ctl(Ctl::Toolbar).top()};
  s.sizeShown = r.ctl(Ctl::SizeLabel).visible();
  s.sizeLabel = {r.ctl(Ctl::SizeLabel).left(), r.ctl(Ctl::SizeLabel).top()};
  s.size = r.ctl(Ctl::SizeLabel).caption();
  for (int i = 0; i < 8; ++i) {
    s.handles[static_cast<std::size_t>(i)] = {r.ctl(Ctl::Handle, i).left(), r.ctl(Ctl::Handle, i).top()};
    s.handlesShown[static_cast<std::size_t>(i)] = r.ctl(Ctl::Handle, i).visible();
  }
  return s;
}

TEST(SelectRegion, ShowsWhatALeftDragShows) {
  const IRect areas[] = {{40, 30, 140, 90}, {0, 0, 320, 240}, {300, 200, 320, 240}, {5, 5, 6, 6}};
  for (const IRect& a : areas) {
    SCOPED_TRACE(std::to_string(a.left) + "," + std::to_string(a.top));
    Rig dragged(320, 240), selected(320, 240);
    ASSERT_TRUE(dragged.start());
    ASSERT_TRUE(selected.start());
    dragged.drag(static_cast<float>(a.left), static_cast<float>(a.top), static_cast<float>(a.right),
                 static_cast<float>(a.bottom));
    selected.form.selectRegion(a);
    EXPECT_EQ(seen(selected), seen(dragged));
    EXPECT_TRUE(seen(selected).toolbarShown);
    EXPECT_EQ(selected.surface.image(), dragged.surface.image());
  }
}

TEST(SelectRegion, IsClampedToTheScreen) {
  Rig rig(320, 240);
  ASSERT_TRUE(rig.start());
  rig.form.selectRegion({-20, -10, 5000, 50});
  const auto& f = rig.ctl(Ctl::SelectionFrame);
  EXPECT_EQ((std::array{f.left(), f.top(), f.width(), f.height()}), (std::array{0.f, 0.f, 320.f, 50.f}));
  rig.form.selectRegion({400, 300, 500, 400});  // wholly off the screen: an empty region in its corner
  EXPECT_EQ((std::array{f.left(), f.top(), f.width(), f.height()}), (std::array{320.f, 240.f, 0.f, 0.f}));
}

TEST(SelectRegion, TheRegionIsMadeForMovingAndCopying) {
  Rig rig(320, 240);
  ASSERT_TRUE(rig.start());
  rig.form.selectRegion({40, 30, 140, 90});
  rig.drag(50, 40, 60, 45);  // inside: moves it
  const auto& f = rig.ctl(Ctl::SelectionFrame);
  EXPECT_EQ((std::array{f.left(), f.top(), f.width(), f.height()}), (std::array{50.f, 35.f, 100.f, 60.f}));
  const Image region = rig.surface.image({50, 35, 150, 95});
  rig.clickTool(1);  // copy and close
  ASSERT_TRUE(rig.clipboard.picture);
  EXPECT_EQ(*rig.clipboard.picture, region);
  EXPECT_EQ(*rig.clipboard.picture, rig.screen.picture->copy({50, 35, 150, 95}));  // undimmed
}

TEST(SelectRegion, ReplacesARegionAndWhatWasDrawnOnIt) {
  Rig rig(320, 240, Image(320, 240, 0xFFFFFFFFu));
  ASSERT_TRUE(rig.start());
  rig.drag(20, 20, 200, 200);
  rig.clickTool(7);
  rig.drag(40, 40, 100, 100);
  rig.clickTool(5);
  rig.down(150, 150);
  rig.up(150, 150);
  rig.form.textChanged({Ctl::NoteField, -1}, "open");
  ASSERT_EQ(rig.form.history().top(), 2);
  rig.form.selectRegion({100, 100, 300, 220});
  EXPECT_FALSE(rig.ctl(Ctl::NoteField).visible());
  EXPECT_FALSE(rig.ctl(Ctl::StylePanel).visible());
  EXPECT_EQ(rig.form.history().top(), 1);
  Rig fresh(320, 240, Image(320, 240, 0xFFFFFFFFu));
  ASSERT_TRUE(fresh.start());
  fresh.drag(100, 100, 300, 220);
  EXPECT_EQ(rig.surface.image(), fresh.surface.image());
  // No tool stays chosen: a drag inside moves the region.
  rig.drag(150, 150, 160, 150);
  EXPECT_EQ(rig.ctl(Ctl::SelectionFrame).left(), 110.f);
  EXPECT_EQ(rig.form.history().index(), 1);
}

// A region chosen before the pointer moved (--region at start, Ctrl+A) has
// no colour under the pointer to show yet: the colour label stays away
// until the pointer comes, and no placeholder text ever shows.
TEST(SelectRegion, TheColourLabelWaitsForThePointer) {
  for (const bool moveFirst : {false, true}) {
    SCOPED_TRACE(moveFirst ? "pointer seen before" : "pointer not seen yet");
    Rig rig(320, 240);
    ASSERT_TRUE(rig.start());
    if (moveFirst) rig.move(10, 10, 0);
    rig.form.selectRegion({40, 30, 140, 90});
    const auto& colour = rig.ctl(Ctl::ColorLabel);
    EXPECT_TRUE(rig.ctl(Ctl::SizeLabel).visible());
    EXPECT_EQ(colour.visible(), moveFirst);
    for (const auto& c : rig.form.controls().all()) {
      if (!c.visible()) continue;
      EXPECT_EQ(c.caption().find("Label"), std::string::npos) << c.state().name;
    }
    rig.move(60, 50, 0);  // the pointer comes over the window
    EXPECT_TRUE(colour.visible());
    EXPECT_EQ(colour.caption().rfind("RGB(", 0), 0u) << colour.caption();
    EXPECT_EQ(colour.top(), rig.ctl(Ctl::SizeLabel).top() + rig.ctl(Ctl::SizeLabel).height() + 2);
  }
}

}  // namespace
}  // namespace tolvane
