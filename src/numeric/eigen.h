#pragma once

#include <cstdint>

#include "common/matrix.h"
#include "common/real.h"

class Pause;
class Workers;

// Symmetric eigen-decomposition: Householder reduction to tridiagonal form,
// QL iteration with implicit shifts, and a sort by decreasing magnitude.
// Indices run 1..n; row and column 0 are never touched. Vectors live in
// column 1 of rows 1..n. The larger loops of the reduction and of the
// rotations are shared among the workers' threads; every value is formed as
// on one thread.

// |a| with the sign of b (b = 0 counts as positive).
REAL SIGN(REAL a, REAL b);

// a: symmetric matrix in, orthogonal reduction matrix out; d: diagonal; e: sub-diagonal (e[1] = 0).
// False when a value overflowed the range of REAL (or the input held one that
// is not finite): the reduction then stops at once and a, d, e are unusable.
bool TRED2(MATRIX& a, MATRIX& d, MATRIX& e, std::int32_t n, Workers& workers);
// How many times TRED2 has been called in this process: a decomposition is
// costly, and the tests show by this count that a run makes no more of them
// than it needs.
std::int64_t TRED2_calls();

struct TqliOutcome {
  std::int64_t sweeps = 0;  // QL sweeps made, for all eigenvalues together
  bool finite = true;       // false: a value was not finite, the iteration stopped there
};

// z: reduction matrix in, eigenvectors (columns) out; d: eigenvalues out; e destroyed.
// When one eigenvalue has taken 30 sweeps it pauses for the user, once for each eigenvalue that gets that far; the
// sweeps for one eigenvalue stop at 10,000. A d or e that is not finite, on
// entry or after a sweep, stops the iteration before any further work.
TqliOutcome TQLI(MATRIX& z, MATRIX& d, MATRIX& e, std::int32_t n, Pause& pause, Workers& workers);

// The eigenvalues alone, for those who need no vectors: TRED2's reduction
// without building its transform (a is left holding the reduction's
// vectors), and TQLI's sweeps without rotating any. d and e come out bit for
// bit as TRED2 and TQLI leave them, and the sweeps pause as TQLI's do.
bool tridiagonal_reduction(MATRIX& a, MATRIX& d, MATRIX& e, std::int32_t n, Workers& workers);
TqliOutcome tridiagonal_eigenvalues(MATRIX& d, MATRIX& e, std::int32_t n, Pause& pause, Workers& workers);

// Selection sort by decreasing |d|, moving the columns of v, ro and (when erb) ee alike.
void EIGENSORT(MATRIX& v, MATRIX& ee, MATRIX& ro, MATRIX& d, std::int32_t n, bool erb);
