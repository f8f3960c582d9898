#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/matrix.h"
#include "evolving/evolving_factors.h"

struct ProgramRun;
class TextWriter;

// The evolving factor analysis of a run (",EFA", key W): of the matrix the
// run analyses (after the selections and the reference row or column),
// taken before the elimination reduces it, with the error the user gave.
struct EvolvingSample {
  MATRIX A;
  std::int32_t N = 0, M = 0;
  EvolvingSettings settings;
  std::vector<std::string> row_names;  // [1..N]: the rows' titles or numbers
};

// After the run driver's preparation; none unless asked for.
std::optional<EvolvingSample> take_evolving_sample(const ProgramRun& s);

// The analysis, its block at the end of the report (when the run writes
// one), returned for the results file and the picture.
EvolvingFactors report_evolving_factors(ProgramRun& s, const EvolvingSample& sample, TextWriter* report);
