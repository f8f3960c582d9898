#pragma once

#include <cstddef>
#include <exception>
#include <vector>

#include "common/pause.h"
#include "common/workers.h"

// Whole pieces of work shared among the threads (runs of windows, draws),
// each on one thread with workers of its own, whose loops give one
// thread's results. A part may neither wait for the user nor let an error
// out while the others go on: it keeps its pauses and its error, and the
// caller settles the parts in order, as one thread would have met them.
struct PartApart {
  KeptPauses pauses;
  std::exception_ptr error;

  // Shows the part's pauses, then raises its error.
  void settle(Pause& pause) const {
    pauses.show_kept(pause);
    if (error) std::rethrow_exception(error);
  }
};

// Runs part(p, pause, workers) for p = 0..parts-1 on the threads.
template <typename Part>
std::vector<PartApart> run_parts_apart(Workers& workers, int parts, Part&& part) {
  std::vector<PartApart> outcomes(static_cast<std::size_t>(parts));
  workers.run(parts, [&](int p) {
    PartApart& outcome = outcomes[static_cast<std::size_t>(p)];
    Workers alone(1);
    alone.stop_when(workers.stop_flag());
    try {
      part(p, outcome.pauses, alone);
    } catch (...) {
      outcome.error = std::current_exception();
    }
  });
  return outcomes;
}
