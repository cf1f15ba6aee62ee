// The pictures the controls show: toolbar icons, the handle, the faces of
// the font-size chooser and the window icon, drawn with QPainter from their
// shared description (layout/icons.h). Each is drawn once on first use.
#pragma once

#include <QImage>

#include "layout/icons.h"
#include "platform/controls.h"

namespace tolvane::platform::qt {

// A null image for PictureId::None. At a scale other than 1 the picture is
// drawn with that many device pixels per logical one (its device pixel ratio).
const QImage& pictureImage(PictureId id, double scale = 1.0);

// `icon` drawn antialiased at `scale` device pixels per pixel; null when it is empty.
QImage drawIcon(const layout::Icon& icon, double scale);

// The program's 16 x 16 window icon.
QImage windowIconImage();

}  // namespace tolvane::platform::qt
