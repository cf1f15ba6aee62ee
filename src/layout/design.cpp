#include "layout/design.h"

#include <string>

#include "platform/control_rules.h"
#include "platform/geometry.h"
#include "texts/texts.h"

namespace tolvane::layout {

using platform::Ctl;
using platform::ControlState;
using platform::Kind;
using platform::PictureId;
using platform::SystemColor;
using platform::systemColor;

const std::array<ColorRef, 16> kPalette = {
    0x00000000, 0x00808080, 0x000000C0, 0x0000C0C0, 0x00008000, 0x00800000, 0x00800080, 0x00808000,
    0x00FFFFFF, 0x00C0C0C0, 0x000000FF, 0x0000FFFF, 0x0000FF00, 0x00FF0000, 0x00FF00FF, 0x00FFFF00,
};

const std::array<std::string_view, 9> kFontSizes = {"6", "8", "9", "10", "11", "12", "14", "18", "20"};

namespace {

struct Builder {
  std::vector<ControlState> out;

  ControlState& add(Ctl ctl, int index, Kind kind, Ctl parent, const char* name, float left, float top,
                    float width, float height, bool visible) {
    ControlState s;
    s.ref = {ctl, index};
    s.kind = kind;
    s.parent = {parent, -1};
    s.name = index < 0 ? std::string(name) : std::string(name) + "(" + std::to_string(index) + ")";
    s.left = left;
    s.top = top;
    s.width = width;
    s.height = height;
    s.visible = visible;
    out.push_back(s);
    return out.back();
  }
};

// Toolbar order left to right: button Index, button left, hover frame left.
struct ToolSlot {
  int index;
  float left, frameLeft;
};
constexpr ToolSlot kToolSlots[] = {
    {7, 20 / 3.f, 16 / 3.f},    {6, 32, 30},      {5, 172 / 3.f, 164 / 3.f}, {4, 244 / 3.f, 80},
    {0, 340 / 3.f, 334 / 3.f},  {8, 138, 136},    {2, 488 / 3.f, 482 / 3.f}, {3, 580 / 3.f, 574 / 3.f},
    {1, 218, 216},
};

constexpr PictureId kToolIcons[9] = {
    PictureId::IconUndo, PictureId::IconCopy, PictureId::IconSave, PictureId::IconClose, PictureId::IconArrow,
    PictureId::IconText, PictureId::IconEllipse, PictureId::IconRect, PictureId::IconRedo,
};

// Where the handles wait, hidden, until a region is drawn.
constexpr float kHandleLeft[8] = {248, 248, 248, 248, 272, 272, 272, 272};
constexpr float kHandleTop[8] = {176, 136, 149, 160, 176, 136, 149, 160};

constexpr float kToolbarHeight = 26;
constexpr float kStylePanelHeight = 112 / 3.f;
constexpr float kDividerTop = 8 / 3.f, kDividerBottom = 64 / 3.f;
constexpr float kButtonTop = 5, kButtonSize = 16;
constexpr float kHoverTop = 3, kHoverSize = 20;
constexpr float kSwatchSize = 40 / 3.f, kSwatchPitch = 16;

// The style panel under the toolbar: the size chooser and the swatches.
void addStylePanel(Builder& b) {
  auto& panel = b.add(Ctl::StylePanel, -1, Kind::PictureBox, Ctl::Window, "StylePanel", 0, 28, kStylePanelWidth,
                      kStylePanelHeight, false);
  panel.hasBack = true;
  panel.backColor = kPanelColor;
  auto& sizes = b.add(Ctl::SizePanel, -1, Kind::PictureBox, Ctl::StylePanel, "SizePanel", 4, 8, 73, 25, true);
  sizes.hasBack = true;
  sizes.backColor = kPanelColor;
  auto& chooser = b.add(Ctl::SizeChooser, -1, Kind::PictureBox, Ctl::SizePanel, "SizeChooser", 64 / 3.f, 0, 50, 22, true);
  chooser.picture = PictureId::ComboRest;
  auto& box = b.add(Ctl::SizeBox, -1, Kind::TextBox, Ctl::SizeChooser, "SizeBox", 4, 4, 68 / 3.f, 40 / 3.f, true);
  box.text = shortestText(kStartTextSize);
  auto& list = b.add(Ctl::SizeList, -1, Kind::ComboBox, Ctl::SizePanel, "SizeList", 64 / 3.f, 4 / 3.f, 49, 20, false);
  list.text = shortestText(kStartTextSize);
  for (auto s : kFontSizes) list.items.emplace_back(s);
  // The chooser's three faces, kept out of sight below the panel.
  const PictureId faces[3] = {PictureId::ComboRest, PictureId::ComboHover, PictureId::ComboPressed};
  const float faceLeft[3] = {8, 64, 120};
  for (int i = 2; i >= 0; --i)
    b.add(Ctl::ChooserFace, i, Kind::Image, Ctl::SizePanel, "ChooserFace", faceLeft[i], 32, 50, 22, true).picture = faces[i];
  b.add(Ctl::SizeIcon, -1, Kind::Image, Ctl::SizePanel, "SizeIcon", 0, 8 / 3.f, 16, 16, true).picture = PictureId::IconText;

  auto& colours = b.add(Ctl::ColorPanel, -1, Kind::PictureBox, Ctl::StylePanel, "ColorPanel", kColorPanelLeft, 4, 161,
                        88 / 3.f, true);
  colours.hasBack = true;
  colours.backColor = kPanelColor;
  auto& big = b.add(Ctl::Swatch, 16, Kind::PictureBox, Ctl::ColorPanel, "Swatch", 4 / 3.f, 0, 28, 28, true);
  big.hasBack = true;
  big.backColor = kStartColor;
  big.foreColor = systemColor(SystemColor::WindowText);
  for (int i = 15; i >= 0; --i) {
    auto& sw = b.add(Ctl::Swatch, i, Kind::PictureBox, Ctl::ColorPanel, "Swatch", 32 + kSwatchPitch * (i % 8),
                     i < 8 ? 0 : 44 / 3.f, kSwatchSize, kSwatchSize, true);
    sw.hasBack = true;
    sw.backColor = kPalette[i];
    sw.foreColor = systemColor(SystemColor::WindowText);
  }
  b.add(Ctl::StylePanelFrame, -1, Kind::Shape, Ctl::StylePanel, "StylePanelFrame", 0, 0, kStylePanelWidth,
        kStylePanelHeight, true).borderColor = kPanelFrameColor;
}

// On the window itself: the colour label, the handles, the selection frame
// and the size label.
void addLabelsAndFrame(Builder& b) {
  auto& info = b.add(Ctl::ColorLabel, -1, Kind::Label, Ctl::Window, "ColorLabel", 8, 192, 175, 17, false);
  // No caption: it reads the colour under the pointer once there is one.
  info.hasBack = true;
  info.backColor = systemColor(SystemColor::Window);
  info.foreColor = kFrameColor;
  info.fontFace = std::string(kLabelFace);
  info.fontSize = kLabelPoints;
  for (int i = 7; i >= 0; --i)
    b.add(Ctl::Handle, i, Kind::Image, Ctl::Window, "Handle", kHandleLeft[i], kHandleTop[i], 4, 4, false).picture =
        PictureId::Handle;
  b.add(Ctl::SelectionFrame, -1, Kind::Shape, Ctl::Window, "SelectionFrame", 40, 184, 145, 97, false).borderColor = kFrameColor;
  auto& pos = b.add(Ctl::SizeLabel, -1, Kind::Label, Ctl::Window, "SizeLabel", 8, 176, 185, 17, false);
  pos.caption = std::string(texts::kSizeLabelStart);
  pos.hasBack = true;  // a label's default: opaque, in the button face colour
  pos.backColor = systemColor(SystemColor::ButtonFace);
  pos.foreColor = kFrameColor;
  pos.fontFace = std::string(kLabelFace);
  pos.fontSize = kLabelPoints;
}

}  // namespace

std::vector<ControlState> designedControls() {
  Builder b;
  const Ctl W = Ctl::Window;

  b.add(Ctl::NoteField, -1, Kind::TextBox, W, "NoteField", 136, 128, 33, 16, false);

  addStylePanel(b);

  auto& bar = b.add(Ctl::Toolbar, -1, Kind::PictureBox, W, "Toolbar", 0, 0, kToolbarWidth, kToolbarHeight, false);
  bar.hasBack = true;
  bar.backColor = kPanelColor;
  auto& right = b.add(Ctl::RightDivider, -1, Kind::Line, Ctl::Toolbar, "RightDivider", 556 / 3.f, kDividerTop, 0, 0, true);
  right.x2 = right.left;
  right.y2 = kDividerBottom;
  right.borderColor = 0x00FFC0C0;
  auto button = [&](int i) {
    for (const auto& slot : kToolSlots) {
      if (slot.index != i) continue;
      auto& s = b.add(Ctl::ToolButton, i, Kind::Image, Ctl::Toolbar, "ToolButton", slot.left, kButtonTop, kButtonSize,
                       kButtonSize, true);
      s.tooltip = std::string(texts::kToolTips[i]);
      s.picture = kToolIcons[i];
    }
  };
  for (int i = 8; i >= 4; --i) button(i);
  auto& left = b.add(Ctl::LeftDivider, -1, Kind::Line, Ctl::Toolbar, "LeftDivider", 316 / 3.f, kDividerTop, 0, 0, true);
  left.x2 = left.left;
  left.y2 = kDividerBottom;
  left.borderColor = 0x00FFC0C0;
  for (int i = 0; i <= 3; ++i) button(i);
  b.add(Ctl::ToolbarFrame, -1, Kind::Shape, Ctl::Toolbar, "ToolbarFrame", 0, 0, kToolbarWidth, kToolbarHeight, true).borderColor = kPanelFrameColor;
  for (int i = 0; i <= 8; ++i) {
    for (const auto& slot : kToolSlots) {
      if (slot.index != i) continue;
      auto& s = b.add(Ctl::ButtonHover, i, Kind::Shape, Ctl::Toolbar, "ButtonHover", slot.frameLeft, kHoverTop, kHoverSize,
                       kHoverSize, false);
      s.borderColor = 0x00FB8F24;
      s.hasBack = true;
      s.backColor = 0x00FFD994;
    }
  }

  addLabelsAndFrame(b);
  return b.out;
}

}  // namespace tolvane::layout
