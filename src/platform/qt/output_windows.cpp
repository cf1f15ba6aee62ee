#include "platform/qt/output_windows.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>

#include <cmath>

#include "platform/qt/control_view.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/pictures.h"
#include "platform/wayland/output_layout.h"

namespace tolvane::platform::qt {

CaptureWindows::CaptureWindows(bool perOutput, int width, int height) {
  first_.setWindowIcon(QIcon(QPixmap::fromImage(windowIconImage())));
  if (perOutput) coverEachOutput();
  all_ = {&first_};
  for (const auto& w : more_) all_.push_back(w.get());
  for (CaptureWindow* w : all_) {
    w->setScreenRect(QRect(0, 0, width, height));
    presenters_.add(w, w->outputArea());
  }
}

// Each output gets a window of its own showing its part of the picture: the
// first window takes the output at the layout's top-left corner, a new one
// each of the others.
void CaptureWindows::coverEachOutput() {
  const QList<QScreen*> screens = QGuiApplication::screens();
  std::vector<LogicalOutput> logical;
  for (const QScreen* s : screens) {
    const QRect g = s->geometry();
    logical.push_back({g.x(), g.y(), g.width(), g.height(), static_cast<int>(std::lround(s->devicePixelRatio()))});
  }
  const std::vector<IRect> areas = outputAreas(logical);
  std::vector<wayland::OutputPlace> places;
  for (const IRect& a : areas) places.push_back({a, 1});
  const std::size_t corner = wayland::topLeftOutput(places);
  for (std::size_t i = 0; i < areas.size(); ++i) {
    if (i == corner) {
      first_.setOutput(screens[static_cast<qsizetype>(i)], areas[i]);
      continue;
    }
    more_.push_back(std::make_unique<CaptureWindow>());
    more_.back()->setWindowIcon(first_.windowIcon());
    more_.back()->setOutput(screens[static_cast<qsizetype>(i)], areas[i]);
  }
}

picture::Presenter* CaptureWindows::presenter() {
  if (all_.size() > 1) return &presenters_;
  return &first_;
}

void CaptureWindows::setSurface(picture::RasterSurface* surface) {
  for (CaptureWindow* w : all_) w->setSurface(surface);
}

void CaptureWindows::hostDialogs(QtSaveDialog& saveDialog, QtMessageBox& messageBox, QtControlView& view) {
  const auto host = [&view, this]() -> CaptureWindow* {
    const QWidget* bar = view.widget({Ctl::Toolbar, -1});
    auto* window = bar ? qobject_cast<CaptureWindow*>(bar->parentWidget()) : nullptr;
    return window ? window : &first_;
  };
  saveDialog.hostWindow = host;
  messageBox.hostWindow = host;
}

}  // namespace tolvane::platform::qt
