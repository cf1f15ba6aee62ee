// Controls on the capture window when there is one window per output.
#pragma once

#include <QRect>
#include <QWidget>

#include <vector>

#include "platform/qt/capture_window.h"

namespace tolvane::platform::qt {

// Puts `w`, a control on the window, on the window of the output that holds
// `device` (its place in the picture's pixels), keeping it shown when
// `visible`; its place `logical` (on the whole desktop, logical pixels at
// `scale`) against that window's corner.
QRect hostOnOutput(const std::vector<CaptureWindow*>& windows, QWidget* w, const QRect& device, const QRect& logical,
                   double scale, bool visible);

}  // namespace tolvane::platform::qt
