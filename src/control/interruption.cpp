#include "control/interruption.h"

#include <atomic>
#include <csignal>

#include "common/workers.h"

namespace {

// A lock-free atomic: the only kind of object a signal handler may set.
std::atomic<bool> ctrl_c{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void on_ctrl_c(int) {
  if (ctrl_c.exchange(true)) {
    // The second: the user wants out now.
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
  }
}

}  // namespace

InterruptionGuard::InterruptionGuard(Workers& workers) : workers_(workers) {
  ctrl_c = false;
  // A program started with Ctrl-C ignored (in the background of a script,
  // under nohup) keeps it ignored.
  const auto previous = std::signal(SIGINT, on_ctrl_c);
  if (previous == SIG_IGN) {
    std::signal(SIGINT, SIG_IGN);
    return;
  }
  installed_ = true;
  workers_.stop_when(&ctrl_c);
}

InterruptionGuard::~InterruptionGuard() {
  if (!installed_) return;
  std::signal(SIGINT, SIG_DFL);
  workers_.stop_when(nullptr);
}

bool InterruptionGuard::interrupted() { return ctrl_c.load(); }
