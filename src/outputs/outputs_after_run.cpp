#include "outputs/outputs_after_run.h"

#include "common/run_error.h"
#include "common/program_run.h"
#include "outputs/results_file.h"
#include "outputs/evidence_picture.h"

void write_outputs_after_run(ProgramRun& s, const RunOutcome& outcome) {
  if (s.settings.YPLOT) write_evidence_picture(s, outcome);
  write_results_file(s, outcome);
}
