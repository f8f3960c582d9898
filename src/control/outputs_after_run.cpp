#include "control/outputs_after_run.h"

#include "common/run_error.h"
#include "common/run_state.h"
#include "control/results_file.h"

void write_outputs_after_run(RunState& s, const RunOutcome& outcome) {
  write_results_file(s, outcome);
}
