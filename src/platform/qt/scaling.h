// The window's two kinds of pixels. The capture logic, the canvas and the
// copy work in device pixels (the screen's own); Qt's widgets and events work
// in logical pixels, device pixels divided by the desktop's scale (Xft.dpi /
// 96 times QT_SCALE_FACTOR). At scale 1 both are the same.
#pragma once

#include <QPointF>
#include <QRect>

#include "picture/rounding.h"
#include "platform/controls.h"

namespace tolvane::platform::qt {

// The smallest rectangle of whole logical pixels that covers a device area.
QRect logicalCover(const IRect& device, double scale);
// The device pixels a logical rectangle covers.
IRect deviceCover(const QRect& logical, double scale);

// Where a control that lies on the window itself is shown, in logical
// pixels. The logic places these controls in device pixels with the
// designed (1x) sizes; shown at scale s they keep their designed sizes in
// logical pixels (so they are s times larger on screen) and their designed
// distances to what they are placed against: the region's frame for the
// size and colour labels and the toolbar, the toolbar for the style panel,
// their own centre for the handles. The frame itself and the text box (whose
// text is drawn on the canvas where the box starts) keep their device place.
// `frame` and `bar` are the logic's states of the selection frame and the
// toolbar; `screen` is the window's logical size.
QRect presentedRect(const ControlState& s, const ControlState& frame, const ControlState& bar, double scale,
                    const QSize& screen);

}  // namespace tolvane::platform::qt
