#pragma once

#include <optional>

#include "analysis/analysis_results.h"
#include "evolving/evolving_factors.h"
#include "verdict/rank_verdict.h"

class RunError;
struct ProgramRun;

// What a run leaves for the opt-in outputs written after everything else:
// the results of its analysis when it got that far, the rank verdict and
// the evolving factor analysis when asked for and reached, and the stop when the run ended early.
struct RunOutcome {
  std::optional<AnalysisResults> results;
  std::optional<RankVerdict> verdict;
  std::optional<EvolvingFactors> evolving;  // with ",EFA"
  const RunError* stop = nullptr;
};

// The opt-in outputs of a run, each written only when its setting asks for
// it, after the run's own files: also after a stop, so that they say how the
// run ended. Without such a setting nothing is written.
void write_outputs_after_run(ProgramRun& s, const RunOutcome& outcome);
