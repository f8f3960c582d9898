#pragma once

#include <cstdint>

#include "common/real.h"

class Pause;

// Regularised upper incomplete gamma function Q(a, x): the probability that a
// chi-square variable with 2a degrees of freedom exceeds 2x. Q = 1 for a <= 0.
// The series and the continued fraction go on past ITMAX = 1000 terms until
// they converge, within gamma_term_bound(a); only a failure to converge
// within it, or a negative x, pauses for the user, who may then go on with
// the value at hand.
REAL GAMMQ(REAL A, REAL X, Pause& pause);

// The helpers of GAMMQ, exposed for tests. GSER and GCF return how many
// terms or steps they took (0 for GSER with x <= 0).
std::int64_t GSER(REAL A, REAL X, REAL& GAMSER, REAL& GLN, Pause& pause);
std::int64_t GCF(REAL A, REAL X, REAL& GAMMCF, REAL& GLN, Pause& pause);
// The most terms or steps GSER and GCF take for a: ITMAX + 6 sqrt(a).
std::int64_t gamma_term_bound(REAL A);
REAL GAMMLN(REAL XX);
