#pragma once

#include "common/real.h"

class Console;

// Regularised upper incomplete gamma function Q(a, x): the probability that a
// chi-square variable with 2a degrees of freedom exceeds 2x. Q = 1 for a <= 0.
// Non-convergence or a negative x pauses on the console (end of input counts
// as Enter) and goes on with the value at hand.
REAL GAMMQ(REAL A, REAL X, Console& console);

// The helpers of GAMMQ, exposed for tests.
void GSER(REAL A, REAL X, REAL& GAMSER, REAL& GLN, Console& console);
void GCF(REAL A, REAL X, REAL& GAMMCF, REAL& GLN, Console& console);
REAL GAMMLN(REAL XX);
