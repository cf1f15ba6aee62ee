// Chinese typed through an input method (fcitx5 with pinyin, Qt's fcitx
// module) into the text box, under a window manager: the word list shows
// above the capture from the first key, next to the box; the pinyin being
// composed shows in the box, which grows with it; the chosen word reaches
// the copy exactly as the same text pasted into the box does.
#include <fstream>
#include <sys/stat.h>

#include "fixture.h"

namespace tolvane::e2e {
namespace {

constexpr IRect kRegion{100, 100, 400, 300};
constexpr int kTextX = 150, kTextY = 150;
// The box: its white face, a pixel above its 11-point text, lies in these rows.
constexpr IRect kBoxRows{kTextX - 10, kTextY - 2, kRegion.right, kTextY + 16};
constexpr Argb kFrame = 0xFF007AECu;

class InputMethod : public E2E {
 protected:
  void SetUp() override {
    E2E::SetUp();
    if (HasFatalFailure()) return;
    wm_ = std::make_unique<Program>(x(), std::vector<std::string>{"openbox"}, env());
    ASSERT_TRUE(waitUntil([&] { return !wm_->running() || x().windowManagerRunning(); }, kPatience) &&
                wm_->running())
        << wm_->stderrText();
    // Pinyin in the input method's one group, switched on by its default
    // trigger (Ctrl+Space); only the parts it needs for Qt's module on X11.
    const std::string config = home() + "/.config", dir = config + "/fcitx5";
    for (const std::string& d : {config, dir, home() + "/.local", home() + "/.local/share"}) {
      mkdir(d.c_str(), 0700);
      ASSERT_TRUE(giveToTestUser(d)) << d;
    }
    std::ofstream(dir + "/profile") << "[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=pinyin\n\n"
                                       "[Groups/0/Items/0]\nName=keyboard-us\nLayout=\n\n"
                                       "[Groups/0/Items/1]\nName=pinyin\nLayout=\n\n[GroupOrder]\n0=Default\n";
    ASSERT_TRUE(giveToTestUser(dir + "/profile"));
    im_ = std::make_unique<Program>(
        x(),
        std::vector<std::string>{"fcitx5", "-D", "--disable=all",
                                 "--enable=keyboard,dbus,dbusfrontend,xcb,classicui,pinyin,punctuation"},
        env());
    ASSERT_TRUE(waitUntil([&] { return !im_->running() || imOnTheBus(); }, kPatience) && im_->running())
        << im_->stderrText();
  }
  void TearDown() override {
    im_.reset();
    wm_.reset();
    E2E::TearDown();
  }

  static bool imOnTheBus() {
    return run({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                "org.freedesktop.DBus.NameHasOwner", "string:org.fcitx.Fcitx5"})
               .out.find("boolean true") != std::string::npos;
  }
  // 2 while the focused box types through pinyin, 1 while keys pass through.
  static std::string imState() { return run({"fcitx5-remote"}).out; }

  // A capture with the region made, the text tool chosen and the box open.
  void openBox(std::unique_ptr<Program>& p) {
    p = start({{"QT_IM_MODULE", "fcitx"}});
    ASSERT_TRUE(waitForVeil(*p)) << p->stderrText();
    x().drag(kRegion.left, kRegion.top, kRegion.right, kRegion.bottom);
    const auto [bx, by] = toolbarButton(kRegion.right, kRegion.bottom, 5);
    x().click(bx, by);
    const Image before = boxRows();
    x().click(kTextX, kTextY);
    ASSERT_TRUE(waitUntil([&] { return boxRows() != before; }, kPatience)) << "the text box did not open";
  }
  Image boxRows() { return x().grab().copy(kBoxRows); }
  // How far right of the text's place the box's white face reaches on the
  // screen (the known picture has no white there); 0 when it is closed.
  int boxReach() {
    const Image shot = x().grab();
    int reach = 0;
    for (int y = kBoxRows.top; y < kBoxRows.bottom; ++y)
      for (int px = kTextX; px < kBoxRows.right; ++px)
        if (shot.pixel(px, y) == 0xFFFFFFFFu) reach = std::max(reach, px - kTextX + 1);
    return reach;
  }
  // The input method's word list, 0 when it is not shown.
  std::uint32_t wordList() {
    for (const auto& w : x().topLevels())
      if (w.viewable && w.name == "Fcitx5 Input Window") return w.id;
    return 0;
  }
  // Whether the screen shows it: under the veil nothing is as light as its face.
  bool wordListSeen(std::uint32_t id) {
    const IRect g = x().geometry(id);
    const Image shot = x().grab();
    long light = 0, all = 0;
    for (int y = std::max(0, g.top); y < std::min(x().height(), g.bottom); ++y)
      for (int px = std::max(0, g.left); px < std::min(x().width(), g.right); ++px, ++all) {
        const Argb c = shot.pixel(px, y);
        light += ((c >> 16) & 0xFF) > 200 && ((c >> 8) & 0xFF) > 200 && (c & 0xFF) > 200;
      }
    return all > 0 && light * 2 > all;
  }
  // Commits the box with a click elsewhere in the region, then copies it.
  Image commitAndCopy(Program& p) {
    x().click(350, 280);
    EXPECT_TRUE(waitUntil([&] { return boxReach() == 0; }, kPatience)) << "the box stayed open";
    EXPECT_EQ(at(kRegion.left, 200), kFrame);
    x().key("ctrl+c");
    std::optional<std::string> png;
    EXPECT_TRUE(waitUntil([&] { return (png = x().clipboard("image/png", 2s)).has_value(); }, kPatience))
        << p.stderrText();
    return png ? decodePng(*png) : Image();
  }

  std::unique_ptr<Program> wm_, im_;
};

TEST_F(InputMethod, PinyinShowsInTheBoxItsWordsAboveTheCaptureAndTheChosenWordReachesTheCopy) {
  // The known render: 中文 pasted into the box, with the input method off.
  ASSERT_TRUE(x().takeClipboard("中文"));
  std::unique_ptr<Program> p;
  openBox(p);
  if (HasFatalFailure()) return;
  const int opened = boxReach();
  x().key("ctrl+v");
  ASSERT_TRUE(waitUntil([&] { return boxReach() > opened; }, kPatience)) << "the paste did not reach the box";
  const int pastedReach = boxReach();
  const Image pasted = commitAndCopy(*p);
  ASSERT_EQ(pasted.width(), kRegion.right - kRegion.left);
  ASSERT_NE(pasted, picture().copy(kRegion)) << "no text drawn";

  openBox(p);
  if (HasFatalFailure()) return;
  x().key("ctrl+space");
  ASSERT_TRUE(waitUntil([&] { return imState().rfind("2", 0) == 0; }, kPatience)) << imState();
  // Each key's pinyin shows in the box once the program has handled the key,
  // and with it everything the window system told it before (the word
  // list's appearance): the word list is on top then, not only mapped.
  for (const char* key : {"z", "h", "o", "n", "g", "w", "e", "n"}) {
    SCOPED_TRACE(key);
    const Image before = boxRows();
    x().key(key);
    ASSERT_TRUE(waitUntil([&] { return boxRows() != before; }, kPatience)) << "the pinyin did not show in the box";
    std::uint32_t list = 0;
    ASSERT_TRUE(waitUntil([&] { return (list = wordList()) != 0 && wordListSeen(list); }, kPatience))
        << "the word list is not seen above the capture";
    // Next to the caret: just below the box's line, from its left.
    const IRect g = x().geometry(list);
    EXPECT_GE(g.top, kTextY + 10);
    EXPECT_LE(g.top, kTextY + 40);
    EXPECT_NEAR(g.left, kTextX, 20);
  }
  // The whole pinyin shows: "zhong wen" is far wider than the box's first
  // 25 pixels, and than 中文.
  EXPECT_GT(boxReach(), pastedReach + 20);

  // The first word is 中文: the box shows it, the word list goes.
  x().key("1");
  ASSERT_TRUE(waitUntil([&] { return wordList() == 0 || !wordListSeen(wordList()); }, kPatience));
  // The box is as wide as the same text pasted: what was composed is gone.
  ASSERT_TRUE(waitUntil([&] { return boxReach() == pastedReach; }, kPatience)) << boxReach();
  EXPECT_EQ(commitAndCopy(*p), pasted);
}

}  // namespace
}  // namespace tolvane::e2e
