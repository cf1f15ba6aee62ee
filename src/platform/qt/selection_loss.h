// On Wayland, tells the clipboard when another program's content replaced
// ours, however the change shows: Qt hears of it only when the compositor
// cancels our offer, which it does not when it dropped our offer unseen.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace tolvane::platform::wayland {
class SelectionWatch;
}

namespace tolvane::platform::qt {

class SelectionLoss : public QObject {
 public:
  // nullptr when the compositor cannot be watched (no wlr-data-control):
  // Qt's own word is all there is then. `marker`: the type only our content
  // offers. `lost` runs when our content is no longer the clipboard's.
  static std::unique_ptr<SelectionLoss> watch(const QString& marker, std::function<void()> lost);
  ~SelectionLoss() override;

  // Our content was just put on the clipboard: it must show as the
  // clipboard's within `graceMs`, or it counts as lost.
  void claimed(int graceMs = 2000);

 private:
  SelectionLoss(std::unique_ptr<wayland::SelectionWatch> watch, std::function<void()> lost);
  void seen(bool ours);
  std::unique_ptr<wayland::SelectionWatch> watch_;
  std::function<void()> lost_;
  QSocketNotifier* notifier_ = nullptr;
  QTimer grace_;
  bool holding_ = false, shown_ = false;
};

}  // namespace tolvane::platform::qt
