// SIGTERM, SIGINT and SIGHUP end the event loop cleanly: the handler writes to a
// pipe, and the loop reads it like any other event.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace tolvane::platform::qt {

class SignalWatch : public QObject {
 public:
  // `onSignal` runs in the event loop with the signal's number.
  explicit SignalWatch(std::function<void(int)> onSignal);
  ~SignalWatch() override;
  bool active() const { return notifier_ != nullptr; }

 private:
  std::function<void(int)> onSignal_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tolvane::platform::qt
