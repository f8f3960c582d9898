#pragma once

#include "common/real.h"

class Pause;

// Regularised upper incomplete gamma function Q(a, x): the probability that a
// chi-square variable with 2a degrees of freedom exceeds 2x. Q = 1 for a <= 0.
// Non-convergence or a negative x pauses for the user and goes on with the
// value at hand.
REAL GAMMQ(REAL A, REAL X, Pause& pause);

// The helpers of GAMMQ, exposed for tests.
void GSER(REAL A, REAL X, REAL& GAMSER, REAL& GLN, Pause& pause);
void GCF(REAL A, REAL X, REAL& GAMMCF, REAL& GLN, Pause& pause);
REAL GAMMLN(REAL XX);
