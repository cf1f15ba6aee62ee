// The save dialog and the message box.
#pragma once

#include <functional>

#include <QString>

#include "platform/output.h"

class QWidget;

namespace tolvane::platform::qt {

class CaptureWindow;

// The path the dialog answers with. When the typed name has no extension
// (no full stop, or only digits after the last one, as in the proposed
// "...14.05.09"), the selected filter's extension is added, or the default
// one when the filter names none ("*.*").
QString completeSavePath(const QString& path, const QString& filterPattern, const QString& defaultExtension);

// The filter as QFileDialog takes it: the description as given, then the
// pattern; the dialog shows only the description.
QString qtNameFilter(const SaveFilter& f);

class QtSaveDialog : public SaveDialog {
 public:
  explicit QtSaveDialog(CaptureWindow* window) : window_(window) {}
  std::optional<SaveAnswer> run(const SaveRequest& request) override;
  // Runs before the dialog is built, which keeps the event loop busy for a while.
  std::function<void()> beforeBuilding;
  // The capture window the dialog belongs to, when there is one per output:
  // the one showing the region. Unset, the one given.
  std::function<CaptureWindow*()> hostWindow;

 private:
  CaptureWindow* window_;
};

class QtMessageBox : public MessageBox {
 public:
  explicit QtMessageBox(CaptureWindow* window) : window_(window) {}
  void information(const std::string& title, const std::string& text) override;
  std::function<CaptureWindow*()> hostWindow;  // as QtSaveDialog's

 private:
  CaptureWindow* window_;
};

// While a dialog runs: the keyboard is free and the pointer is the plain arrow.
class DialogScope {
 public:
  explicit DialogScope(CaptureWindow* window);
  ~DialogScope();
  DialogScope(const DialogScope&) = delete;
  DialogScope& operator=(const DialogScope&) = delete;
  QWidget* parent() const;
  // Readies the dialog for the window system before it shows: on X11 it is
  // centred on the monitor that holds the region, on Wayland given the keyboard.
  void place(QWidget& dialog) const;

 private:
  CaptureWindow* window_;
};

}  // namespace tolvane::platform::qt
