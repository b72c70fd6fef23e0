// The stop request is two atomics a signal handler may write: which signal,
// or which exit code.
#include "base/stop.h"

#include <unistd.h>

#include <atomic>
#include <csignal>

namespace base {

namespace {

std::atomic<int> stop_signal{0};
std::atomic<int> stop_code{-1};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only touch lock-free atomics");

void on_stop_signal(int signal) { stop_signal.store(signal); }

}  // namespace

void catch_stop_signals() {
  struct sigaction a = {};
  a.sa_handler = on_stop_signal;
  a.sa_flags = SA_RESETHAND | SA_RESTART;
  sigemptyset(&a.sa_mask);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &a, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

void ask_to_stop(int code) { stop_code.store(code); }

bool stop_requested() { return stop_signal.load() != 0 || stop_code.load() >= 0; }

void end_as_asked() {
  if (const int s = stop_signal.load()) {
    std::signal(s, SIG_DFL);
    raise(s);
    _exit(128 + s);  // as a shell reports a death by that signal
  }
  const int code = stop_code.load();
  _exit(code >= 0 ? code : 1);
}

}  // namespace base
