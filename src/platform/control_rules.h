// The rules every view of the controls follows, whatever its toolkit: the
// system colours and the pixels they show as, which controls lie in front,
// which take the mouse, where a control lies in whole pixels, and what each
// kind paints. A view keeps only the toolkit's calls that carry them out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/events.h"

namespace tolvane::platform {

// The system colours the controls use, by their number: a colour value with
// the high bit set stands for the system colour in its low byte.
enum class SystemColor : std::uint8_t {
  Window = 5,  // a window's background
  WindowText = 8,
  ButtonFace = 15,  // a label's own background
  ButtonShadow = 16,
  ButtonText = 18,
  ButtonHighlight = 20,
  DarkShadow = 21,
  Light = 22,
};

constexpr ColorRef systemColor(SystemColor c) {
  return static_cast<ColorRef>(0x80000000u | static_cast<std::uint32_t>(c));
}

// A colour value as the pixel every view shows. System colours show as the
// classic Windows defaults on every system and theme, as the controls were
// designed on them; one not in the table shows mid grey.
Argb shownColor(ColorRef c);

// Picture boxes, text boxes and combo boxes are windows of their own.
constexpr bool isWindowed(Kind k) { return k == Kind::PictureBox || k == Kind::TextBox || k == Kind::ComboBox; }

// Shapes and lines take no mouse: a press reaches what lies below them.
constexpr bool takesMouse(Kind k) { return k != Kind::Shape && k != Kind::Line; }

// A control's kind and its place in design order, for stacking.
struct StackPlace {
  Kind kind;
  int designOrder;
};

// Within one container, windowed controls lie in front of images, shapes,
// lines and labels; within each group the earlier control lies in front.
bool liesInFront(const StackPlace& a, const StackPlace& b);

// A control's box in its container in whole pixels, each edge rounded half
// to even (so the selection frame covers exactly the region finishing
// copies). A line's box holds both its ends.
IRect placeInContainer(const ControlState& s);

// A back-less shape on the window itself (the region's frame): only its
// border shows, and what lies inside it is the window's own picture.
constexpr bool onlyBorderOnWindow(const ControlState& s) {
  return s.kind == Kind::Shape && s.parent.ctl == Ctl::Window && !s.hasBack;
}

// The border of a shape placed in device pixels, as `scale` shows it: on its
// box's edge pixels, each side as thick as one logical pixel (rounded) and
// never more than the box. Top, bottom, left, right; none for an empty box.
std::vector<IRect> deviceBorder(const ControlState& s, double scale);

// The size of a control's text in points: its own, or the default of 9.
float controlPoints(const ControlState& s);

// A text box shows its text in its fore colour on white.
inline constexpr Argb kTextBoxBack = 0xFFFFFFFFu;

struct PixelPoint {
  int x = 0, y = 0;
};

// One thing a painted control draws, in its own pixels (its box's top-left
// is 0, 0).
struct PaintStep {
  enum class Op {
    Fill,     // `box` in `color`
    Line,     // `from` to `to` in `color`, both ends drawn
    Picture,  // the control's picture with its top-left at `box`'s, cut to `box`
    Caption,  // the control's caption in `color` from `box`'s top-left, cut to `box`
  };
  Op op;
  IRect box;
  PixelPoint from, to;
  Argb color = 0;
};

// What a control paints, back to front, when it is shown at `box` in its
// container (its place, or where a view that scales puts it). Text boxes and
// combo boxes are the toolkit's own controls: nothing.
std::vector<PaintStep> paintSteps(const ControlState& s, const IRect& box);

// An item chosen from a combo box's list: through `send`, the logic hears of
// its text, then of a click on the combo box.
void sendItemChosen(const std::function<void(const std::function<void(EventSink&)>&)>& send, CtlRef combo,
                    const std::string& item);

}  // namespace tolvane::platform
