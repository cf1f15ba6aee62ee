#include "fixture.h"

namespace tolvane::e2e {
namespace {

// The selection every case starts from, and where the designed controls land.
constexpr int kL = 100, kT = 100, kR = 400, kB = 300;
constexpr double kBarLeft = kR - 3620.0 / 15, kBarTop = kB + 4;

class Annotate : public E2E {
 protected:
  void SetUp() override {
    E2E::SetUp();
    if (HasFatalFailure()) return;
    startCapture(p_, {kL, kT, kR, kB});
    if (HasFatalFailure()) return;
  }
  void button(int index) {
    const auto [bx, by] = toolbarButton(kR, kB, index);
    x().click(bx, by);
  }
  // A palette swatch, with the style panel below the toolbar in its narrow form.
  void swatch(int index) {
    const double panelTop = kBarTop + 26 + 3;
    const double x0 = kBarLeft + 4 + (480 + 240 * (index % 8)) / 15.0 + 6;
    const double y0 = panelTop + 4 + (index < 8 ? 0 : 220) / 15.0 + 6;
    x().click(static_cast<int>(x0), static_cast<int>(y0));
  }
  // Copy and close, then the picture from the clipboard.
  Image copy() {
    button(1);
    EXPECT_TRUE(waitUntil([&] { return x().clipboard("image/png", 2s).has_value(); }, kPatience));
    const auto png = x().clipboard();
    return png ? decodePng(*png) : Image();
  }
  Argb original(int x, int y) const { return picture().pixel(kL + x, kT + y); }
  std::unique_ptr<Program> p_;
};

constexpr Argb kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu, kGreen = 0xFF00FF00u;

TEST_F(Annotate, BlueRectangle) {
  button(7);
  swatch(13);
  x().drag(150, 150, 250, 220);
  const Image shot = copy();
  ASSERT_EQ(shot.width(), kR - kL);
  ASSERT_EQ(shot.height(), kB - kT);
  EXPECT_EQ(shot.pixel(50, 50), kBlue);
  EXPECT_EQ(shot.pixel(150, 120), kBlue);
  EXPECT_EQ(shot.pixel(100, 50), kBlue);
  EXPECT_EQ(shot.pixel(100, 85), original(100, 85));  // no fill
  EXPECT_EQ(shot.pixel(10, 150), original(10, 150));  // no frame, no handles in the picture
  EXPECT_EQ(shot.pixel(0, 0), original(0, 0));
}

TEST_F(Annotate, RedEllipse) {
  button(6);
  x().drag(150, 150, 250, 230);
  const Image shot = copy();
  ASSERT_FALSE(shot.isNull());
  EXPECT_EQ(shot.pixel(100, 50), kRed);   // top of the box 150..249 x 150..229
  EXPECT_EQ(shot.pixel(50, 90), kRed);    // left
  EXPECT_EQ(shot.pixel(100, 90), original(100, 90));
  EXPECT_EQ(shot.pixel(51, 51), original(51, 51));  // the box's corner stays clear
}

TEST_F(Annotate, GreenArrowWithItsBarbs) {
  button(4);
  swatch(12);
  x().drag(150, 200, 300, 200);
  const Image shot = copy();
  ASSERT_FALSE(shot.isNull());
  EXPECT_EQ(shot.pixel(200, 100), kGreen);  // the tip
  EXPECT_EQ(shot.pixel(190, 105), kGreen);  // barb ends (290,205) and (290,195)
  EXPECT_EQ(shot.pixel(190, 95), kGreen);
  EXPECT_EQ(shot.pixel(100, 100), kGreen);  // on the shaft
  EXPECT_EQ(shot.pixel(100, 110), original(100, 110));
}

TEST_F(Annotate, TypedTextIsDrawnInRed) {
  button(5);
  x().click(150, 150);
  ASSERT_TRUE(x().xdotool({"type", "--delay", "30", "Hello"}));
  x().click(300, 260);  // the next click commits
  const Image shot = copy();
  ASSERT_FALSE(shot.isNull());
  int red = 0;
  for (int y = 50; y < 70; ++y)
    for (int x = 50; x < 90; ++x) red += shot.pixel(x, y) == kRed;
  EXPECT_GT(red, 20);
  EXPECT_EQ(shot.pixel(40, 40), original(40, 40));
}

// Arrows, Shift+arrows, Enter and Ctrl+A while typing edit the text; the
// region neither moves nor becomes the whole screen.
TEST_F(Annotate, KeysWhileTypingGoToTheText) {
  button(5);
  x().click(150, 150);
  ASSERT_TRUE(x().xdotool({"type", "--delay", "30", "Hello"}));
  for (const char* k : {"Left", "Left", "shift+Left", "Up", "Down", "Right", "Return", "ctrl+a", "Left"}) x().key(k);
  ASSERT_TRUE(x().xdotool({"type", "--delay", "30", "X"}));
  x().click(300, 260);  // commits
  ASSERT_TRUE(waitUntil([&] { return at(kL, 200) == 0xFF007AECu; }, kPatience));
  x().key("ctrl+c");
  ASSERT_TRUE(waitUntil([&] { return x().clipboard("image/png", 2s).has_value(); }, kPatience));
  const auto png = x().clipboard();
  ASSERT_TRUE(png.has_value());
  const Image shot = decodePng(*png);
  ASSERT_EQ(shot.width(), kR - kL);
  ASSERT_EQ(shot.height(), kB - kT);
  int red = 0;
  for (int y = 50; y < 70; ++y)
    for (int x = 50; x < 90; ++x) red += shot.pixel(x, y) == kRed;
  EXPECT_GT(red, 20);
  for (const auto& [px, py] : {std::pair{0, 0}, {299, 199}, {200, 40}, {10, 150}})
    EXPECT_EQ(shot.pixel(px, py), original(px, py)) << px << "," << py;
}

TEST_F(Annotate, UndoThenRedo) {
  button(7);
  x().drag(150, 150, 250, 220);
  button(0);
  ASSERT_TRUE(waitUntil([&] { return at(150, 150) == picture().pixel(150, 150); }, kPatience));
  button(8);
  ASSERT_TRUE(waitUntil([&] { return at(150, 150) == kRed; }, kPatience));
  const Image shot = copy();
  ASSERT_FALSE(shot.isNull());
  EXPECT_EQ(shot.pixel(50, 50), kRed);
}

TEST_F(Annotate, UndoWithNothingDrawnReturnsToSelecting) {
  button(0);
  // The frame, handles and toolbar go; the user selects anew.
  ASSERT_TRUE(waitUntil([&] { return at(kL, 200) != 0xFF007AECu; }, kPatience));
  x().drag(200, 150, 350, 280);
  ASSERT_TRUE(waitUntil([&] { return at(200, 200) == 0xFF007AECu; }, kPatience));
  x().key("Escape");
  EXPECT_EQ(p_->wait(kPatience), 0);
}

TEST_F(Annotate, CloseLeavesTheClipboardAlone) {
  ASSERT_TRUE(x().takeClipboard("keep me"));
  button(3);
  EXPECT_EQ(p_->wait(kPatience), 0);
  EXPECT_EQ(x().clipboard("UTF8_STRING"), "keep me");
}

}  // namespace
}  // namespace tolvane::e2e
