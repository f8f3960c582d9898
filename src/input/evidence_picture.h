#pragma once

#include <string>

struct RankVerdict;
class RunError;
struct RunState;

// The picture of the evidence (",PLOT", key Y): one SVG file with a panel
// for each result the run has: the pivots of the elimination, or the
// eigenvalues and the residual test's probabilities; the rank verdict's
// singular values; the histogram of the input and the remainders.

// The whole SVG document, or an empty text when the run has nothing to draw.
std::string evidence_picture(const RunState& s, const RankVerdict* verdict);

// Writes the picture and says so on the console, or says why there is none
// (the run stopped, or it has nothing to draw).
void write_evidence_picture(RunState& s, const RankVerdict* verdict, const RunError* stop);
