#include <gtest/gtest.h>

#include <QImage>

#include "layout/controls.h"
#include "platform/qt/pictures.h"
#include "platform/qt/scaling.h"
#include "platform/qt/text_engine.h"

namespace tolvane {
namespace {

using platform::ControlState;
using platform::Ctl;
using platform::PictureId;
namespace pq = platform::qt;

TEST(Scaling, CoversDeviceAreasWithWholeLogicalPixelsAndBack) {
  struct Case {
    IRect device;
    double scale;
    QRect logical;
    IRect back;  // the device pixels the logical rectangle covers
  };
  const Case cases[] = {
      {{3, 5, 10, 9}, 1.0, QRect(3, 5, 7, 4), {3, 5, 10, 9}},
      {{4, 6, 10, 12}, 2.0, QRect(2, 3, 3, 3), {4, 6, 10, 12}},
      {{3, 5, 11, 9}, 2.0, QRect(1, 2, 5, 3), {2, 4, 12, 10}},  // odd edges widen outward
      {{0, 0, 2560, 800}, 2.0, QRect(0, 0, 1280, 400), {0, 0, 2560, 800}},
      {{1, 1, 4, 4}, 1.5, QRect(0, 0, 3, 3), {0, 0, 5, 5}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pq::logicalCover(c.device, c.scale), c.logical) << c.scale;
    EXPECT_EQ(pq::deviceCover(c.logical, c.scale), c.back) << c.scale;
  }
}

class Presented : public ::testing::Test {
 protected:
  Presented() {
    frame_.ref = {Ctl::SelectionFrame, -1};
    frame_.left = 201;
    frame_.top = 151;
    frame_.width = 400;
    frame_.height = 300;
    // Where the logic puts the toolbar: right-aligned with the frame, 4 below it.
    bar_.ref = {Ctl::Toolbar, -1};
    bar_.width = 3620.0f / 15;
    bar_.height = 26;
    bar_.left = frame_.left + frame_.width - bar_.width;
    bar_.top = frame_.top + frame_.height + 4;
  }
  QRect at(const ControlState& s, double scale) const { return pq::presentedRect(s, frame_, bar_, scale, kScreen); }
  ControlState control(Ctl ctl, float l, float t, float w, float h) const {
    ControlState s;
    s.ref = {ctl, -1};
    s.left = l;
    s.top = t;
    s.width = w;
    s.height = h;
    return s;
  }
  static constexpr QSize kScreen{640, 400};  // 1280 x 800 device pixels at scale 2
  ControlState frame_, bar_;
};

TEST_F(Presented, AtScaleOneEveryControlKeepsItsRoundedPlace) {
  EXPECT_EQ(at(frame_, 1.0), QRect(201, 151, 400, 300));
  EXPECT_EQ(at(bar_, 1.0), QRect(360, 455, 241, 26));
  EXPECT_EQ(at(control(Ctl::Handle, 2.5, 3.5, 4, 4), 1.0), QRect(2, 4, 4, 4));
}

TEST_F(Presented, AtScaleTwoKeepsDesignedSizesAndDistancesInLogicalPixels) {
  // The frame covers the device region; the toolbar hangs 4 logical pixels
  // below its bottom-right corner at its designed size.
  EXPECT_EQ(at(frame_, 2.0), QRect(100, 75, 201, 151));
  const QRect bar = at(bar_, 2.0);
  EXPECT_EQ(bar.size(), QSize(241, 26));
  EXPECT_NEAR(bar.right() + 1, 300.5, 1);
  EXPECT_NEAR(bar.top(), 225.5 + 4, 1);
  // Labels: 2 logical pixels inside the frame's corner, one under the other.
  const QRect size = at(control(Ctl::SizeLabel, 203, 153, 185, 17), 2.0);
  const QRect colour = at(control(Ctl::ColorLabel, 203, 172, 175, 17), 2.0);
  EXPECT_EQ(size.size(), QSize(185, 17));
  EXPECT_NEAR(size.left(), 100.5 + 2, 1);
  EXPECT_EQ(colour.top() - size.top(), 19);
  // A handle stays centred on the point it marks.
  const QRect handle = at(control(Ctl::Handle, 599, 449, 4, 4), 2.0);
  EXPECT_EQ(handle.size(), QSize(4, 4));
  EXPECT_NEAR(handle.center().x() + 0.5, 300.5, 1);
  EXPECT_NEAR(handle.center().y() + 0.5, 225.5, 1);
  // The style panel keeps its distance to the toolbar, below or above it.
  const ControlState below = control(Ctl::StylePanel, bar_.left, bar_.top + 26 + 3, 241, 37);
  EXPECT_EQ(at(below, 2.0).topLeft(), bar.topLeft() + QPoint(0, 29));
  const ControlState above = control(Ctl::StylePanel, bar_.left, bar_.top - 37 - 3, 241, 37);
  EXPECT_EQ(at(above, 2.0).topLeft(), bar.topLeft() - QPoint(0, 40));
}

TEST_F(Presented, ControlsStayOnTheScreen) {
  // A region at the bottom-right corner: the logic's 1x toolbar fits below
  // it, the doubled one does not and moves up into the screen.
  frame_.left = 1000;
  frame_.top = 700;
  frame_.width = 279;
  frame_.height = 60;
  bar_.left = frame_.left + frame_.width - bar_.width;
  bar_.top = frame_.top + frame_.height + 4;
  const QRect bar = at(bar_, 2.0);
  EXPECT_LE(bar.bottom() + 1, kScreen.height());
  EXPECT_LE(bar.right() + 1, kScreen.width());
  // A region at the left edge: the logic pins the toolbar at 0.
  bar_.left = 0;
  frame_.left = 0;
  frame_.width = 100;
  EXPECT_EQ(at(bar_, 2.0).left(), 0);
}

TEST(Pictures, IconsAreDrawnAtTheScreensDensity) {
  for (PictureId id : {PictureId::IconRect, PictureId::IconCopy, PictureId::ComboRest, PictureId::Handle}) {
    const QImage& one = pq::pictureImage(id);
    const QImage& two = pq::pictureImage(id, 2.0);
    EXPECT_EQ(one.devicePixelRatio(), 1.0);
    EXPECT_EQ(two.devicePixelRatio(), 2.0);
    EXPECT_EQ(two.size(), one.size() * 2);
    // Drawn anew, not enlarged: an enlarged picture repeats every pixel 2 x 2.
    const QImage enlarged = one.scaled(one.size() * 2);
    if (id != PictureId::Handle) {
      EXPECT_NE(two.convertToFormat(enlarged.format()), enlarged);
    }
  }
  EXPECT_TRUE(pq::pictureImage(PictureId::None, 2.0).isNull());
}

TEST(TextEngine, AtAScaleMeasuresAndReachesThatMuchFurther) {
  pq::QtTextEngine one, two;
  two.setScale(2.0);
  const float w1 = one.width("Hello 中文", 11), w2 = two.width("Hello 中文", 11);
  EXPECT_NEAR(w2, 2 * w1, 0.15 * w1);
  EXPECT_DOUBLE_EQ(one.lineHeight(11), 11 * 96.0 / 72.0 * 1.6);
  EXPECT_DOUBLE_EQ(two.lineHeight(11), 2 * one.lineHeight(11));
  // The glyphs drawn at scale 2 stay within the height it reports.
  Image img(200, 80, 0xFFFFFFFFu);
  two.draw(img, 0, 0, 0, 0, "Hg中", 20, 0x000000FF);
  int lowest = -1;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (img.pixel(x, y) != 0xFFFFFFFFu) lowest = y;
  EXPECT_GT(lowest, 30);  // twice the 1x size of a 20-point line's body
  EXPECT_LT(lowest, static_cast<int>(two.lineHeight(20)));
}

}  // namespace
}  // namespace tolvane
