#pragma once

class Workers;

// Ctrl-C during a run. The first asks the run to stop at its next loop
// (status 130): the report is marked and closed, the results and the
// picture are written whole and say how the run ended. A second Ctrl-C ends
// the program at once, as without this. Outside the guard's life, and where
// the program was started with Ctrl-C ignored, Ctrl-C keeps its effect.
class InterruptionGuard {
 public:
  explicit InterruptionGuard(Workers& workers);
  ~InterruptionGuard();
  InterruptionGuard(const InterruptionGuard&) = delete;
  InterruptionGuard& operator=(const InterruptionGuard&) = delete;

  // True once Ctrl-C was pressed while the guard stood.
  static bool interrupted();

 private:
  Workers& workers_;
  bool installed_ = false;
};
