#include "platform/qt/system.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QStandardPaths>

#include <cstdio>

#include "platform/qt/capture_window.h"

namespace tolvane::platform::qt {

namespace {
Qt::CursorShape cursorFor(PointerShape shape) {
  switch (shape) {
    case PointerShape::Arrow: return Qt::ArrowCursor;
    case PointerShape::Cross: return Qt::CrossCursor;
    case PointerShape::Move: return Qt::SizeAllCursor;
    case PointerShape::SizeNESW: return Qt::SizeBDiagCursor;
    case PointerShape::SizeNS: return Qt::SizeVerCursor;
    case PointerShape::SizeNWSE: return Qt::SizeFDiagCursor;
    case PointerShape::SizeWE: return Qt::SizeHorCursor;
    case PointerShape::Busy: return Qt::WaitCursor;
    default: return Qt::ArrowCursor;
  }
}
}  // namespace

QtPointer::~QtPointer() { reset(); }

void QtPointer::setShape(PointerShape shape) {
  shape_ = shape;
  if (shape == PointerShape::Default) {
    reset();
    return;
  }
  const QCursor cursor(cursorFor(shape));
  if (overriding_) {
    QGuiApplication::changeOverrideCursor(cursor);
  } else {
    QGuiApplication::setOverrideCursor(cursor);
    overriding_ = true;
  }
}

void QtPointer::reset() {
  if (!overriding_) return;
  overriding_ = false;
  if (qGuiApp) QGuiApplication::restoreOverrideCursor();
}

void QtApp::presentAll() {
  // The first window last: it takes the keyboard.
  for (CaptureWindow* w : others_) w->present();
  window_.present();
}

void QtApp::dismissAll() {
  window_.dismiss();
  for (CaptureWindow* w : others_) w->dismiss();
}

void QtApp::showMaximized() {
  showRequested_ = true;
  if (live_) presentAll();
}

void QtApp::goLive() {
  live_ = true;
  if (showRequested_) presentAll();
}

void QtApp::hideWindow() {
  dismissAll();
  pointer_.reset();
}

void QtApp::close() {
  dismissAll();
  pointer_.reset();
  if (onClosed) onClosed();
}

void QtApp::warn(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  std::fflush(stderr);
}

LocalTime QtEnvironment::now() const {
  const QDateTime t = QDateTime::currentDateTime();
  const QDate d = t.date();
  const QTime c = t.time();
  return {d.year(), d.month(), d.day(), c.hour(), c.minute(), c.second()};
}

std::string QtEnvironment::picturesFolder() const {
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (!pictures.isEmpty() && QDir(pictures).exists()) return QDir::toNativeSeparators(pictures).toStdString();
  return QDir::homePath().toStdString();
}

}  // namespace tolvane::platform::qt
