// Pointer shapes, the event pump, the program's end and the user's clock
// and folders, over Qt.
#pragma once

#include <functional>
#include <vector>

#include "platform/system.h"

namespace tolvane::platform::qt {

class CaptureWindow;

// One application-wide override cursor; the default shape lets every widget show its own.
class QtPointer : public Pointer {
 public:
  ~QtPointer() override;
  void setShape(PointerShape shape) override;
  PointerShape shape() const override { return shape_; }
  // Drops the override cursor (the window has gone).
  void reset();

 private:
  PointerShape shape_ = PointerShape::Default;
  bool overriding_ = false;
};

class QtApp : public App {
 public:
  QtApp(CaptureWindow& window, QtPointer& pointer) : window_(window), pointer_(pointer) {}
  // Before the program goes live this only asks for the window to be shown.
  void showMaximized() override;
  void hideWindow() override;
  void close() override;
  void warn(const std::string& message) override;

  // Another window shown and hidden with the first: one per further output.
  void addWindow(CaptureWindow& window) { others_.push_back(&window); }

  // main shows the window once the start-up has finished.
  void goLive();
  bool showRequested() const { return showRequested_; }
  // Called after the window has gone; main decides whether the process
  // stays to serve the clipboard.
  std::function<void()> onClosed;

 private:
  void presentAll();
  void dismissAll();

  CaptureWindow& window_;
  std::vector<CaptureWindow*> others_;
  QtPointer& pointer_;
  bool live_ = false;
  bool showRequested_ = false;
};

class QtEnvironment : public Environment {
 public:
  LocalTime now() const override;
  std::string picturesFolder() const override;
};

}  // namespace tolvane::platform::qt
