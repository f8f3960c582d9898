#pragma once

#include <cstdint>

#include "common/matrix.h"
#include "common/real.h"

class Console;

// Symmetric eigen-decomposition: Householder reduction to tridiagonal form,
// QL iteration with implicit shifts, and a sort by decreasing magnitude.
// Indices run 1..n; row and column 0 are never touched. Vectors live in
// column 1 of rows 1..n.

// |a| with the sign of b (b = 0 counts as positive).
REAL SIGN(REAL a, REAL b);

// a: symmetric matrix in, orthogonal reduction matrix out; d: diagonal; e: sub-diagonal (e[1] = 0).
void TRED2(MATRIX& a, MATRIX& d, MATRIX& e, std::int32_t n);

// z: reduction matrix in, eigenvectors (columns) out; d: eigenvalues out; e destroyed.
// After 30 sweeps for one eigenvalue it pauses once on the console (end of
// input counts as Enter); the sweeps for that eigenvalue stop at 10,000.
void TQLI(MATRIX& z, MATRIX& d, MATRIX& e, std::int32_t n, Console& console);

// Selection sort by decreasing |d|, moving the columns of v, ro and (when erb) ee alike.
void EIGENSORT(MATRIX& v, MATRIX& ee, MATRIX& ro, MATRIX& d, std::int32_t n, bool erb);
