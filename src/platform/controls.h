// The window's child controls as plain data, and the view that shows them.
// The logic owns the data (single-precision geometry, visibility, texts,
// colours); the platform's view is told of every change and mirrors it.
#pragma once

#include <string>
#include <vector>

#include "picture/image.h"

namespace tolvane::platform {

enum class Ctl {
  Window,  // the capture window itself (event target only)
  NoteField, StylePanel, SizePanel, SizeChooser, SizeBox, SizeList, ChooserFace, SizeIcon, ColorPanel, Swatch,
  StylePanelFrame, Toolbar, RightDivider, ToolButton, LeftDivider, ToolbarFrame, ButtonHover, ColorLabel, Handle, SelectionFrame, SizeLabel,
};

enum class Kind { PictureBox, Image, Shape, Line, Label, TextBox, ComboBox };

struct CtlRef {
  Ctl ctl = Ctl::Window;
  int index = -1;  // -1 for controls that are not in an array
  friend constexpr bool operator==(const CtlRef&, const CtlRef&) = default;
};

// Pictures the controls show, drawn by the view.
enum class PictureId {
  None, Handle, ComboRest, ComboHover, ComboPressed,
  IconRect, IconEllipse, IconText, IconArrow, IconUndo, IconRedo, IconSave, IconClose, IconCopy,
};

enum class Prop { Geometry, Visible, Caption, Text, BackColor, ForeColor, BorderStyle, Picture, FontSize };

struct ControlState {
  CtlRef ref;
  Kind kind = Kind::PictureBox;
  CtlRef parent;  // Ctl::Window for controls on the window
  std::string name;
  float left = 0, top = 0, width = 0, height = 0;  // pixels, relative to the parent
  float x2 = 0, y2 = 0;                           // a line's second point
  bool visible = true;
  bool hasBack = false;                           // false: transparent background
  ColorRef backColor = 0, foreColor = 0, borderColor = 0;
  int borderStyle = 0;                            // 0 none, 1 single line
  std::string caption, text, tooltip;             // UTF-8
  PictureId picture = PictureId::None;
  float fontSize = 0;                             // points; 0 = the view's default
  std::string fontFace;                           // empty = the view's default
  std::vector<std::string> items;                 // combo-box list
};

class ControlView {
 public:
  virtual ~ControlView() = default;
  virtual void changed(const ControlState& state, Prop prop) = 0;
  virtual void setFocus(CtlRef ref) = 0;
  virtual bool comboDropped(CtlRef ref) const = 0;
  virtual void showComboDropDown(CtlRef ref, bool show) = 0;
};

}  // namespace tolvane::platform
