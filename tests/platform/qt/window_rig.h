// A capture window as large as the screen with its canvas, its control
// view and the controls, the window's events going to `Sink`.
#pragma once

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include "layout/controls.h"
#include "picture/raster_surface.h"
#include "platform/qt/capture_window.h"
#include "platform/qt/control_view.h"
#include "platform/qt/text_engine.h"

namespace tolvane::qttest {

inline QSize screenSize() { return QGuiApplication::primaryScreen()->geometry().size(); }

template <class Sink>
struct WindowRig {
  WindowRig() : surface(screenSize().width(), screenSize().height(), &text, &window), view(window), controls(&view) {
    window.setSurface(&surface);
    window.setScreenRect(QRect(QPoint(0, 0), screenSize()));
    window.relay().setSink(&sink);
  }

  platform::qt::QtTextEngine text;
  platform::qt::CaptureWindow window;
  picture::RasterSurface surface;
  Sink sink;
  platform::qt::QtControlView view;
  layout::Controls controls;
};

}  // namespace tolvane::qttest
