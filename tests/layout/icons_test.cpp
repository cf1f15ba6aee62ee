// The pictures' description: each has its size, something to show, and every
// figure (with half its stroke) inside its box, so that no view cuts it off.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "layout/icons.h"

namespace tolvane::layout {
namespace {

using platform::PictureId;

struct Extent {
  float left = 1e9f, top = 1e9f, right = -1e9f, bottom = -1e9f;
  void add(IconPoint p) {
    left = std::min(left, p.x);
    top = std::min(top, p.y);
    right = std::max(right, p.x);
    bottom = std::max(bottom, p.y);
  }
};

// Where a figure may paint: its outline's points (a cubic curve stays
// within its control points), grown by half the pen's width.
Extent extentOf(const IconFigure& f) {
  Extent e;
  if (f.outline == IconOutline::Path) {
    for (const IconStep& s : f.steps) {
      if (s.kind == IconStep::Kind::Close) continue;
      e.add(s.to);
      if (s.kind == IconStep::Kind::CubicTo) {
        e.add(s.c1);
        e.add(s.c2);
      }
    }
  } else {
    e.add({f.x, f.y});
    e.add({f.x + f.w, f.y + f.h});
  }
  const float half = f.pen ? f.pen->width / 2 : 0;
  return {e.left - half, e.top - half, e.right + half, e.bottom + half};
}

void expectDrawable(const Icon& icon, int width, int height, const std::string& name) {
  SCOPED_TRACE(name);
  EXPECT_EQ(icon.width, width);
  EXPECT_EQ(icon.height, height);
  EXPECT_TRUE(icon.background || !icon.figures.empty()) << "shows nothing";
  for (std::size_t i = 0; i < icon.figures.size(); ++i) {
    const IconFigure& f = icon.figures[i];
    EXPECT_TRUE(f.fill || f.pen) << "figure " << i << " is neither filled nor stroked";
    if (f.outline == IconOutline::Path) {
      ASSERT_FALSE(f.steps.empty()) << "figure " << i;
      EXPECT_EQ(f.steps.front().kind, IconStep::Kind::MoveTo) << "figure " << i << " starts nowhere";
    } else {
      EXPECT_TRUE(f.w > 0 && f.h > 0) << "figure " << i << " has an empty box";
      EXPECT_LE(2 * f.radius, std::min(f.w, f.h)) << "figure " << i << "'s corners overlap";
    }
    const Extent e = extentOf(f);
    EXPECT_TRUE(e.left >= 0 && e.top >= 0 && e.right <= width && e.bottom <= height)
        << "figure " << i << " reaches " << e.left << "," << e.top << " to " << e.right << "," << e.bottom;
  }
}

TEST(Icons, EachPictureHasItsSizeSomethingToShowAndStaysInsideItsBox) {
  struct Case {
    PictureId id;
    int width, height;
  };
  const Case cases[] = {
      {PictureId::Handle, 4, 4},         {PictureId::ComboRest, 50, 22},  {PictureId::ComboHover, 50, 22},
      {PictureId::ComboPressed, 50, 22}, {PictureId::IconRect, 16, 16},   {PictureId::IconEllipse, 16, 16},
      {PictureId::IconText, 16, 16},     {PictureId::IconArrow, 16, 16},  {PictureId::IconUndo, 16, 16},
      {PictureId::IconRedo, 16, 16},     {PictureId::IconSave, 16, 16},   {PictureId::IconClose, 16, 16},
      {PictureId::IconCopy, 16, 16},
  };
  for (const Case& c : cases) expectDrawable(iconOf(c.id), c.width, c.height, std::to_string(static_cast<int>(c.id)));
  expectDrawable(windowIcon(), 16, 16, "window icon");
}

TEST(Icons, NoneAndUnknownPicturesAreEmpty) {
  for (PictureId id : {PictureId::None, static_cast<PictureId>(99)}) {
    const Icon& icon = iconOf(id);
    EXPECT_EQ(icon.width, 0);
    EXPECT_EQ(icon.height, 0);
    EXPECT_TRUE(icon.figures.empty());
    EXPECT_FALSE(icon.background);
  }
}

// The check itself: a figure sticking out of its box is caught.
TEST(Icons, AFigureOutsideItsBoxIsFound) {
  Icon icon = iconOf(PictureId::IconRect);
  icon.figures[0].x = 15;
  ::testing::TestPartResultArray failures;
  {
    const ::testing::ScopedFakeTestPartResultReporter reporter(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
    expectDrawable(icon, 16, 16, "moved");
  }
  EXPECT_EQ(failures.size(), 1);
}

}  // namespace
}  // namespace tolvane::layout
