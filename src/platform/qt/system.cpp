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
Qt::CursorShape cursorFor(int shape) {
  switch (shape) {
    case kPointerArrow: return Qt::ArrowCursor;
    case kPointerCross: return Qt::CrossCursor;
    case kPointerMove: return Qt::SizeAllCursor;
    case kPointerSizeNESW: return Qt::SizeBDiagCursor;
    case kPointerSizeNS: return Qt::SizeVerCursor;
    case kPointerSizeNWSE: return Qt::SizeFDiagCursor;
    case kPointerSizeWE: return Qt::SizeHorCursor;
    case kPointerBusy: return Qt::WaitCursor;
    default: return Qt::ArrowCursor;
  }
}
}  // namespace

QtPointer::~QtPointer() { reset(); }

void QtPointer::setShape(int shape) {
  shape_ = shape;
  if (shape == kPointerDefault) {
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
