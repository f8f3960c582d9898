#pragma once

// A long call of the library run in a thread of its own while the
// interpreter waits without the GIL, answering Ctrl-C.
#include <pybind11/pybind11.h>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "library/library.h"

namespace qor_python {

// Runs work in a thread of its own; meanwhile the interpreter checks for
// Ctrl-C every 50 ms without holding the GIL and shows the stages through
// `progress` (called with the stage number when it changes; None: none).
// A Ctrl-C asks the run to stop, waits for it (one loop at most) and
// raises KeyboardInterrupt; nothing of the run is left.
template <typename Work>
auto run_waiting(Work work, qor::Control& control, const pybind11::object& progress) {
  decltype(work()) run;
  std::exception_ptr failure;
  std::mutex mutex;
  std::condition_variable done_changed;
  bool done = false;
  std::thread worker([&] {
    try {
      run = work();
    } catch (...) {
      failure = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    done_changed.notify_one();
  });
  // Whatever leaves the loop (Ctrl-C, an exception of the progress
  // callable) first stops the run and waits for it, so that no thread of it
  // outlives the call.
  const auto stop_and_wait = [&] {
    control.stop = true;
    pybind11::gil_scoped_release release;
    worker.join();
  };
  int shown = 0;
  try {
    for (;;) {
      bool finished = false;
      {
        pybind11::gil_scoped_release release;
        std::unique_lock<std::mutex> lock(mutex);
        finished = done_changed.wait_for(lock, std::chrono::milliseconds(50), [&] { return done; });
      }
      if (finished) break;
      if (PyErr_CheckSignals() != 0) throw pybind11::error_already_set();
      const int stage = control.stage.load();
      if (!progress.is_none() && stage != shown) {
        shown = stage;
        progress(stage);
      }
    }
  } catch (...) {
    stop_and_wait();
    throw;
  }
  worker.join();
  if (failure) std::rethrow_exception(failure);
  if (!progress.is_none()) progress(static_cast<int>(qor::kDone));
  return run;
}

}  // namespace qor_python
