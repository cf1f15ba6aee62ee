// The capture window on Wayland: the compositor places every window, so the
// window goes full screen on an output, and it gives the keyboard focus to
// a new window as it does to any. Our dialogs are handed the keyboard.
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "platform/qt/window_handling.h"
#include "platform/wayland/toplevel_activation.h"

namespace tolvane::platform::qt {

namespace {

// Once the dialog is on the screen, asks the compositor to give it the
// keyboard, which it may not do by itself (toplevel_activation.h). The
// window is listed only once its first picture is in, so the request is
// repeated a little while until it is.
class KeyboardOnShow : public QObject {
 public:
  explicit KeyboardOnShow(QObject* parent) : QObject(parent) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    auto* w = qobject_cast<QWindow*>(watched);
    if (w && e->type() == QEvent::Expose && w->isExposed() && !asking_) {
      asking_ = true;
      auto* timer = new QTimer(this);
      timer->start(kEvery);
      QObject::connect(timer, &QTimer::timeout, this, [this, w, timer] {
        using wayland::Activation;
        const Activation a = wayland::activateToplevel(appId().toStdString(), w->title().toStdString());
        if (a != Activation::NotShownYet || ++tries_ >= kTries) timer->stop();
      });
    }
    return QObject::eventFilter(watched, e);
  }

 private:
  // The app id Qt gives our windows.
  static QString appId() {
    QString name = QGuiApplication::desktopFileName();
    if (name.endsWith(QLatin1String(".desktop"))) name.chop(8);
    return name.isEmpty() ? QFileInfo(QCoreApplication::applicationFilePath()).baseName() : name;
  }
  static constexpr int kEvery = 20, kTries = 100;  // milliseconds apart; two seconds in all
  bool asking_ = false;
  int tries_ = 0;
};

class WaylandWindowHandling : public WindowHandling {
 public:
  bool placesWindowsItself() const override { return true; }
  bool keepsContents() const override { return true; }
  void placeDialog(QWidget& dialog) override {
    dialog.winId();
    if (QWindow* w = dialog.windowHandle()) w->installEventFilter(new KeyboardOnShow(&dialog));
  }
};

}  // namespace

std::unique_ptr<WindowHandling> waylandWindowHandling() { return std::make_unique<WaylandWindowHandling>(); }

}  // namespace tolvane::platform::qt
