#pragma once

#include <string>

struct AnalysisResults;
struct EvolvingFactors;
struct RankVerdict;
struct RunOutcome;
struct RunSettings;
struct ProgramRun;

// The picture of the evidence (",PLOT", key Y): one SVG file with a panel
// for each result the run has: the pivots of the elimination, or the
// eigenvalues and the residual test's probabilities; the rank verdict's
// singular values; the histogram of the input and the remainders.

// The whole SVG document, or an empty text when the run has nothing to draw:
// from the settings as given, the results of the analysis and the verdict.
// With the evolving factor analysis (",EFA"), its panel last.
std::string evidence_picture(const RunSettings& given, const AnalysisResults& results, const RankVerdict* verdict,
                             const EvolvingFactors* evolving = nullptr);

// Writes the picture of the run's outcome beside the file the run wrote and
// says so on the console, or says why there is none (the run stopped, or it
// has nothing to draw).
void write_evidence_picture(ProgramRun& s, const RunOutcome& outcome);
