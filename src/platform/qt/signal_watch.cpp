#include "platform/qt/signal_watch.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>

namespace tolvane::platform::qt {

namespace {
int g_pipe[2] = {-1, -1};
// A hang-up (the terminal closed) ends the run as a request to end does.
constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int sig) {
  const int saved = errno;
  const unsigned char b = static_cast<unsigned char>(sig);
  [[maybe_unused]] const auto n = ::write(g_pipe[1], &b, 1);
  errno = saved;
}
}  // namespace

SignalWatch::SignalWatch(std::function<void(int)> handler) : onSignal_(std::move(handler)) {
  if (g_pipe[0] >= 0) return;  // one watcher per process
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    g_pipe[0] = g_pipe[1] = -1;
    return;
  }
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    unsigned char b = 0;
    while (::read(g_pipe[0], &b, 1) == 1)
      if (onSignal_) onSignal_(b);
  });
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (const int sig : kEndingSignals) ::sigaction(sig, &sa, nullptr);
}

SignalWatch::~SignalWatch() {
  if (!notifier_) return;
  struct sigaction sa {};
  sa.sa_handler = SIG_DFL;
  sigemptyset(&sa.sa_mask);
  for (const int sig : kEndingSignals) ::sigaction(sig, &sa, nullptr);
  delete notifier_;
  notifier_ = nullptr;
  ::close(g_pipe[0]);
  ::close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

}  // namespace tolvane::platform::qt
