#include "platform/qt/selection_loss.h"

#include <QSocketNotifier>

#include "platform/wayland/selection_watch.h"

namespace tolvane::platform::qt {

std::unique_ptr<SelectionLoss> SelectionLoss::watch(const QString& marker, std::function<void()> lost) {
  auto w = wayland::SelectionWatch::connect(marker.toStdString());
  if (!w) return nullptr;
  return std::unique_ptr<SelectionLoss>(new SelectionLoss(std::move(w), std::move(lost)));
}

SelectionLoss::SelectionLoss(std::unique_ptr<wayland::SelectionWatch> watch, std::function<void()> lost)
    : watch_(std::move(watch)), lost_(std::move(lost)) {
  watch_->onSelection = [this](bool ours) { seen(ours); };
  notifier_ = new QSocketNotifier(watch_->fd(), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    // A broken connection says nothing more: Qt's own word is left.
    if (!watch_->dispatch()) notifier_->setEnabled(false);
  });
  grace_.setSingleShot(true);
  connect(&grace_, &QTimer::timeout, this, [this] {
    if (holding_ && !shown_) seen(false);
  });
}

SelectionLoss::~SelectionLoss() = default;

void SelectionLoss::claimed(int graceMs) {
  holding_ = true;
  shown_ = false;
  grace_.start(graceMs);
}

void SelectionLoss::seen(bool ours) {
  if (!holding_) return;
  if (ours) {
    shown_ = true;
    grace_.stop();
    return;
  }
  // Another's content before ours showed: ours may still be on its way.
  if (!shown_ && grace_.isActive()) return;
  holding_ = false;
  grace_.stop();
  if (lost_) lost_();
}

}  // namespace tolvane::platform::qt
