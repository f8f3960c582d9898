#include "control/outputs_after_run.h"

#include "common/run_error.h"
#include "common/run_state.h"
#include "control/results_file.h"
#include "input/evidence_picture.h"

void write_outputs_after_run(RunState& s, const RunOutcome& outcome) {
  if (s.settings.YPLOT) write_evidence_picture(s, outcome.verdict ? &*outcome.verdict : nullptr, outcome.stop);
  write_results_file(s, outcome);
}
