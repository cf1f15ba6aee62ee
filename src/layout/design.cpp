#include "layout/design.h"

#include <string>

#include "platform/geometry.h"

namespace tolvane::layout {

using platform::Ctl;
using platform::ControlState;
using platform::Kind;
using platform::PictureId;

const std::array<ColorRef, 16> kPalette = {
    0x00000000, 0x00808080, 0x000000C0, 0x0000C0C0, 0x00008000, 0x00800000, 0x00800080, 0x00808000,
    0x00FFFFFF, 0x00C0C0C0, 0x000000FF, 0x0000FFFF, 0x0000FF00, 0x00FF0000, 0x00FF00FF, 0x00FFFF00,
};

// Each with its keyboard shortcut, where it has one.
const std::array<std::string_view, 9> kToolTips = {
    "撤销 (Ctrl+Z)", "复制退出 (Ctrl+C)", "保存 (Ctrl+S)", "退出截屏 (Esc)", "添加箭头", "添加文字", "添加椭圆",
    "添加矩形", "重做 (Ctrl+Y)",
};

const std::array<std::string_view, 9> kFontSizes = {"6", "8", "9", "10", "11", "12", "14", "18", "20"};

namespace {

// System colours: window background and window text.
constexpr ColorRef kSysWindow = static_cast<ColorRef>(0x80000005u);
constexpr ColorRef kSysWindowText = static_cast<ColorRef>(0x80000008u);
constexpr ColorRef kSysButtonFace = static_cast<ColorRef>(0x8000000Fu);

struct Builder {
  std::vector<ControlState> out;

  ControlState& add(Ctl ctl, int index, Kind kind, Ctl parent, const char* name, float l, float t, float w,
                    float h, bool visible) {
    ControlState s;
    s.ref = {ctl, index};
    s.kind = kind;
    s.parent = {parent, -1};
    s.name = index < 0 ? std::string(name) : std::string(name) + "(" + std::to_string(index) + ")";
    s.left = px(l);
    s.top = px(t);
    s.width = px(w);
    s.height = px(h);
    s.visible = visible;
    out.push_back(s);
    return out.back();
  }
};

// Toolbar order left to right: button Index, button Left, frame Left (fifteenths of a pixel).
struct ToolSlot {
  int index;
  float left, frameLeft;
};
constexpr ToolSlot kToolSlots[] = {
    {7, 100, 80}, {6, 480, 450}, {5, 860, 820}, {4, 1220, 1200}, {0, 1700, 1670},
    {8, 2070, 2040}, {2, 2440, 2410}, {3, 2900, 2870}, {1, 3270, 3240},
};

constexpr PictureId kToolIcons[9] = {
    PictureId::IconUndo, PictureId::IconCopy, PictureId::IconSave, PictureId::IconClose, PictureId::IconArrow,
    PictureId::IconText, PictureId::IconEllipse, PictureId::IconRect, PictureId::IconRedo,
};

constexpr float kHandleLeft[8] = {3720, 3720, 3720, 3720, 4080, 4080, 4080, 4080};
constexpr float kHandleTop[8] = {2640, 2040, 2235, 2400, 2640, 2040, 2235, 2400};

// The style panel under the toolbar: the size chooser and the swatches.
void addStylePanel(Builder& b) {
  auto& p2 = b.add(Ctl::StylePanel, -1, Kind::PictureBox, Ctl::Window, "StylePanel", 0, 420, 3620, 560, false);
  p2.hasBack = true;
  p2.backColor = kPanelColor;
  auto& pf = b.add(Ctl::SizePanel, -1, Kind::PictureBox, Ctl::StylePanel, "SizePanel", 60, 120, 1095, 375, true);
  pf.hasBack = true;
  pf.backColor = kPanelColor;
  auto& pc = b.add(Ctl::SizeChooser, -1, Kind::PictureBox, Ctl::SizePanel, "SizeChooser", 320, 0, 750, 330, true);
  pc.picture = PictureId::ComboRest;
  auto& t1 = b.add(Ctl::SizeBox, -1, Kind::TextBox, Ctl::SizeChooser, "SizeBox", 60, 60, 340, 200, true);
  t1.text = shortestText(kStartTextSize);
  auto& c1 = b.add(Ctl::SizeList, -1, Kind::ComboBox, Ctl::SizePanel, "SizeList", 320, 20, 735, 300, false);
  c1.text = shortestText(kStartTextSize);
  for (auto s : kFontSizes) c1.items.emplace_back(s);
  const PictureId faces[3] = {PictureId::ComboRest, PictureId::ComboHover, PictureId::ComboPressed};
  const float faceLeft[3] = {120, 960, 1800};
  for (int i = 2; i >= 0; --i)
    b.add(Ctl::ChooserFace, i, Kind::Image, Ctl::SizePanel, "ChooserFace", faceLeft[i], 480, 750, 330, true).picture = faces[i];
  b.add(Ctl::SizeIcon, -1, Kind::Image, Ctl::SizePanel, "SizeIcon", 0, 40, 240, 240, true).picture = PictureId::IconText;

  auto& pcol = b.add(Ctl::ColorPanel, -1, Kind::PictureBox, Ctl::StylePanel, "ColorPanel", 1180, 60, 2415, 440, true);
  pcol.hasBack = true;
  pcol.backColor = kPanelColor;
  auto& big = b.add(Ctl::Swatch, 16, Kind::PictureBox, Ctl::ColorPanel, "Swatch", 20, 0, 420, 420, true);
  big.hasBack = true;
  big.backColor = kStartColor;
  big.foreColor = kSysWindowText;
  for (int i = 15; i >= 0; --i) {
    auto& sw = b.add(Ctl::Swatch, i, Kind::PictureBox, Ctl::ColorPanel, "Swatch", 480.0f + 240.0f * (i % 8),
                     i < 8 ? 0.0f : 220.0f, 200, 200, true);
    sw.hasBack = true;
    sw.backColor = kPalette[i];
    sw.foreColor = kSysWindowText;
  }
  b.add(Ctl::StylePanelFrame, -1, Kind::Shape, Ctl::StylePanel, "StylePanelFrame", 0, 0, 3620, 560, true).borderColor = kPanelFrameColor;
}

// On the window itself: the colour label, the handles, the selection frame
// and the size label.
void addLabelsAndFrame(Builder& b) {
  auto& info = b.add(Ctl::ColorLabel, -1, Kind::Label, Ctl::Window, "ColorLabel", 120, 2880, 2625, 255, false);
  // No caption: it reads the colour under the pointer once there is one.
  info.hasBack = true;
  info.backColor = kSysWindow;
  info.foreColor = kFrameColor;
  info.fontFace = std::string(kLabelFace);
  info.fontSize = kLabelPoints;
  for (int i = 7; i >= 0; --i)
    b.add(Ctl::Handle, i, Kind::Image, Ctl::Window, "Handle", kHandleLeft[i], kHandleTop[i], 60, 60, false).picture =
        PictureId::Handle;
  b.add(Ctl::SelectionFrame, -1, Kind::Shape, Ctl::Window, "SelectionFrame", 600, 2760, 2175, 1455, false).borderColor = kFrameColor;
  auto& pos = b.add(Ctl::SizeLabel, -1, Kind::Label, Ctl::Window, "SizeLabel", 120, 2640, 2775, 255, false);
  pos.caption = "宽X高";
  pos.hasBack = true;  // a label's default: opaque, in the button face colour
  pos.backColor = kSysButtonFace;
  pos.foreColor = kFrameColor;
  pos.fontFace = std::string(kLabelFace);
  pos.fontSize = kLabelPoints;
}

}  // namespace

std::vector<ControlState> designedControls() {
  Builder b;
  const Ctl W = Ctl::Window;

  b.add(Ctl::NoteField, -1, Kind::TextBox, W, "NoteField", 2040, 1920, 495, 240, false);

  addStylePanel(b);

  auto& p1 = b.add(Ctl::Toolbar, -1, Kind::PictureBox, W, "Toolbar", 0, 0, 3620, 390, false);
  p1.hasBack = true;
  p1.backColor = kPanelColor;
  auto& l2 = b.add(Ctl::RightDivider, -1, Kind::Line, Ctl::Toolbar, "RightDivider", 2780, 40, 0, 0, true);
  l2.x2 = px(2780);
  l2.y2 = px(320);
  l2.borderColor = 0x00FFC0C0;
  auto button = [&](int i) {
    for (const auto& slot : kToolSlots) {
      if (slot.index != i) continue;
      auto& s = b.add(Ctl::ToolButton, i, Kind::Image, Ctl::Toolbar, "ToolButton", slot.left, 75, 240, 240, true);
      s.tooltip = std::string(kToolTips[i]);
      s.picture = kToolIcons[i];
    }
  };
  for (int i = 8; i >= 4; --i) button(i);
  auto& l1 = b.add(Ctl::LeftDivider, -1, Kind::Line, Ctl::Toolbar, "LeftDivider", 1580, 40, 0, 0, true);
  l1.x2 = px(1580);
  l1.y2 = px(320);
  l1.borderColor = 0x00FFC0C0;
  for (int i = 0; i <= 3; ++i) button(i);
  b.add(Ctl::ToolbarFrame, -1, Kind::Shape, Ctl::Toolbar, "ToolbarFrame", 0, 0, 3620, 390, true).borderColor = kPanelFrameColor;
  for (int i = 0; i <= 8; ++i) {
    for (const auto& slot : kToolSlots) {
      if (slot.index != i) continue;
      auto& s = b.add(Ctl::ButtonHover, i, Kind::Shape, Ctl::Toolbar, "ButtonHover", slot.frameLeft, 45, 300, 300, false);
      s.borderColor = 0x00FB8F24;
      s.hasBack = true;
      s.backColor = 0x00FFD994;
    }
  }

  addLabelsAndFrame(b);
  return b.out;
}

}  // namespace tolvane::layout
