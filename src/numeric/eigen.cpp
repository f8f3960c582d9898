#include "numeric/eigen.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <utility>
#include <vector>

#include "common/pause.h"
#include "common/workers.h"

namespace {

// A vector of length n lives in column 1 of rows 1..n.
inline REAL& at(MATRIX& v, std::int32_t i) { return v[i][1]; }

// The reduction and the accumulation below take their loops in a different
// order from the textbook one, for the cache and for the few x87 registers,
// but every element is still formed by the same operations on the same
// operands in the same order: sums start from 0 and add their terms in
// increasing index, and every update reads the values the textbook order
// would. A test checks D and Z bit for bit against the textbook order.

// p[j] := sum over k = 1..l of A(j,k) * u[k], in increasing k, with A the
// symmetric matrix held in the lower triangle of a and u = row i of a. The
// lower triangle is read once, two rows at a time: row j gives the terms
// k <= j of p[j] (in a register) and the terms k = j of p[k] for k < j,
// whose earlier terms (rows before j) are already in p[k].
void symmetric_times_row(MATRIX& a, std::int32_t i, std::int32_t l, REAL* p) {
  const REAL* u = a[i];
  std::int32_t j = 1;
  for (; j + 1 <= l; j += 2) {
    const REAL* r1 = a[j];
    const REAL* r2 = a[j + 1];
    const REAL u1 = u[j];
    const REAL u2 = u[j + 1];
    REAL s1 = 0;
    REAL s2 = 0;
    for (std::int32_t k = 1; k < j; ++k) {
      const REAL x = r1[k];
      const REAL y = r2[k];
      const REAL uk = u[k];
      s1 = s1 + x * uk;
      s2 = s2 + y * uk;
      p[k] = (p[k] + x * u1) + y * u2;
    }
    s1 = s1 + r1[j] * u1;
    s1 = s1 + r2[j] * u2;
    s2 = s2 + r2[j] * u1;
    s2 = s2 + r2[j + 1] * u2;
    p[j] = s1;
    p[j + 1] = s2;
  }
  if (j == l) {
    const REAL* r1 = a[j];
    const REAL u1 = u[j];
    REAL s1 = 0;
    for (std::int32_t k = 1; k < j; ++k) {
      const REAL x = r1[k];
      s1 = s1 + x * u[k];
      p[k] = p[k] + x * u1;
    }
    p[j] = s1 + r1[j] * u1;
  }
}

// p[j] for j = first..last only, each still summed in increasing k: first
// the terms k <= j from row j, then those of the rows below, in row order.
// Every p[j] is formed by one call, so blocks of j may go to different
// threads. Two rows at a time share the loads of u (first round) and of p
// (second round).
void symmetric_times_row_part(MATRIX& a, std::int32_t i, std::int32_t l, REAL* p, std::int32_t first,
                              std::int32_t last) {
  const REAL* u = a[i];
  std::int32_t j = first;
  for (; j + 1 <= last; j += 2) {
    const REAL* r1 = a[j];
    const REAL* r2 = a[j + 1];
    REAL s1 = 0;
    REAL s2 = 0;
    for (std::int32_t k = 1; k <= j; ++k) {
      const REAL uk = u[k];
      s1 = s1 + r1[k] * uk;
      s2 = s2 + r2[k] * uk;
    }
    p[j] = s1;
    p[j + 1] = s2 + r2[j + 1] * u[j + 1];
  }
  if (j == last) {
    const REAL* r = a[j];
    REAL sum = 0;
    for (std::int32_t k = 1; k <= j; ++k) sum = sum + r[k] * u[k];
    p[j] = sum;
  }
  // Row k adds its terms to p[first..min(last, k - 1)].
  std::int32_t k = first + 1;
  for (; k + 1 <= l; k += 2) {
    const REAL* r1 = a[k];
    const REAL* r2 = a[k + 1];
    const REAL u1 = u[k];
    const REAL u2 = u[k + 1];
    const std::int32_t end = std::min(last, k - 1);
    for (std::int32_t c = first; c <= end; ++c) p[c] = (p[c] + r1[c] * u1) + r2[c] * u2;
    if (k <= last) p[k] = p[k] + r2[k] * u2;
  }
  if (k == l) {
    const REAL* r = a[k];
    const REAL uk = u[k];
    const std::int32_t end = std::min(last, k - 1);
    for (std::int32_t c = first; c <= end; ++c) p[c] = p[c] + r[c] * uk;
  }
}

// A[j][k] := (A[j][k] - F_j E[k]) - G_j u[k] over the lower triangle
// (k <= j <= l), where G_j := E[j] - HH F_j replaces E[j] before row j is
// updated: first every G_j in increasing j (as row j reads the G_k of
// k <= j), kept in g, then rows first..last, two at a time sharing the loads
// of G_k and u[k]; their costs rise with j.
void rank_two_update_rows(MATRIX& a, std::int32_t i, const REAL* g, std::int32_t first, std::int32_t last) {
  const REAL* u = a[i];
  std::int32_t j = first;
  for (; j + 1 <= last; j += 2) {
    const REAL f1 = u[j];
    const REAL g1 = g[j];
    const REAL f2 = u[j + 1];
    const REAL g2 = g[j + 1];
    REAL* r1 = a[j];
    REAL* r2 = a[j + 1];
    for (std::int32_t k = 1; k <= j; ++k) {
      const REAL ek = g[k];
      const REAL uk = u[k];
      r1[k] = (r1[k] - f1 * ek) - g1 * uk;
      r2[k] = (r2[k] - f2 * ek) - g2 * uk;
    }
    r2[j + 1] = (r2[j + 1] - f2 * g2) - g2 * u[j + 1];
  }
  if (j == last) {
    const REAL f = u[j];
    const REAL gj = g[j];
    REAL* r = a[j];
    for (std::int32_t k = 1; k <= j; ++k) r[k] = (r[k] - f * g[k]) - gj * u[k];
  }
}

void rank_two_update(MATRIX& a, MATRIX& e, std::int32_t i, std::int32_t l, REAL hh, REAL* g, Workers& workers,
                     int parts) {
  const REAL* u = a[i];
  for (std::int32_t j = 1; j <= l; ++j) {
    g[j] = at(e, j) - hh * u[j];
    at(e, j) = g[j];
  }
  const std::vector<std::int32_t> bounds = triangle_split(1, l, parts, Slope::rising);
  workers.run(parts, [&](int part) {
    const auto b = static_cast<std::size_t>(part);
    rank_two_update_rows(a, i, g, bounds[b], bounds[b + 1] - 1);
  });
}

// One Householder step of the reduction for row i (l = i - 1 >= 2, scale != 0);
// returns H. p is scratch for one value per column.
REAL householder_step(MATRIX& a, MATRIX& e, std::int32_t i, REAL scale, REAL* p, Workers& workers) {
  const std::int32_t l = i - 1;
  REAL* ai = a[i];
  REAL h = 0;
  for (std::int32_t k = 1; k <= l; ++k) {
    ai[k] = ai[k] / scale;
    h = h + ai[k] * ai[k];
  }
  REAL f = ai[l];
  const REAL g = -SIGN(std::sqrt(h), f);
  at(e, i) = scale * g;
  h = h - f * g;
  ai[l] = f - g;

  // The product and the update each make about l^2 / 2 element updates.
  const int parts = workers.parts_for(static_cast<std::int64_t>(l) * l / 2, l);
  if (parts == 1) {
    symmetric_times_row(a, i, l, p);
  } else {
    workers.run(parts, [&](int part) {
      const PartRange rows = part_range(1, l, parts, part);
      symmetric_times_row_part(a, i, l, p, rows.from, rows.to);
    });
  }
  f = 0;
  for (std::int32_t j = 1; j <= l; ++j) {
    a[j][i] = ai[j] / h;
    at(e, j) = p[j] / h;
    f = f + at(e, j) * ai[j];
  }
  rank_two_update(a, e, i, l, f / (h + h), p, workers, parts);
  return h;
}

// g[j] := sum over k = 1..l of A[i][k] * A[k][j], in increasing k, for
// j = first..last. Four columns at a time walk down the rows with their sums
// in registers (each row contributes one cache line).
void row_times_block(MATRIX& a, std::int32_t i, std::int32_t l, REAL* g, std::int32_t first, std::int32_t last) {
  const REAL* u = a[i];
  std::int32_t j = first;
  for (; j + 3 <= last; j += 4) {
    REAL g0 = 0, g1 = 0, g2 = 0, g3 = 0;
    for (std::int32_t k = 1; k <= l; ++k) {
      const REAL* r = a[k] + j;
      const REAL uk = u[k];
      g0 = g0 + uk * r[0];
      g1 = g1 + uk * r[1];
      g2 = g2 + uk * r[2];
      g3 = g3 + uk * r[3];
    }
    g[j] = g0;
    g[j + 1] = g1;
    g[j + 2] = g2;
    g[j + 3] = g3;
  }
  for (; j <= last; ++j) {
    REAL s = 0;
    for (std::int32_t k = 1; k <= l; ++k) s = s + u[k] * a[k][j];
    g[j] = s;
  }
}

// A[k][j] := A[k][j] - g[j] * A[k][i] for k = first..last, j = 1..l, four
// rows at a time.
void subtract_outer(MATRIX& a, std::int32_t i, std::int32_t l, const REAL* g, std::int32_t first,
                    std::int32_t last) {
  std::int32_t k = first;
  for (; k + 3 <= last; k += 4) {
    REAL* r0 = a[k];
    REAL* r1 = a[k + 1];
    REAL* r2 = a[k + 2];
    REAL* r3 = a[k + 3];
    const REAL v0 = r0[i], v1 = r1[i], v2 = r2[i], v3 = r3[i];
    for (std::int32_t j = 1; j <= l; ++j) {
      const REAL gj = g[j];
      r0[j] = r0[j] - gj * v0;
      r1[j] = r1[j] - gj * v1;
      r2[j] = r2[j] - gj * v2;
      r3[j] = r3[j] - gj * v3;
    }
  }
  for (; k <= last; ++k) {
    REAL* r = a[k];
    const REAL v = r[i];
    for (std::int32_t j = 1; j <= l; ++j) r[j] = r[j] - g[j] * v;
  }
}

// Builds Q from the stored Householder vectors, from the smallest block
// outwards. All of step i's sums are formed before any column changes, as
// column j's update touches no other column's sum; the sums are shared out
// by columns, the update by rows.
void accumulate_transform(MATRIX& a, MATRIX& d, std::int32_t n, REAL* g, Workers& workers) {
  for (std::int32_t i = 1; i <= n; ++i) {
    const std::int32_t l = i - 1;
    if (at(d, i) != 0) {
      const std::int64_t work = static_cast<std::int64_t>(l) * l;
      share_range(workers, 1, l, work,
                  [&](std::int32_t first, std::int32_t last) { row_times_block(a, i, l, g, first, last); });
      share_range(workers, 1, l, work,
                  [&](std::int32_t first, std::int32_t last) { subtract_outer(a, i, l, g, first, last); });
    }
    at(d, i) = a[i][i];
    a[i][i] = 1;
    for (std::int32_t j = 1; j <= l; ++j) {
      a[i][j] = 0;
      a[j][i] = 0;
    }
  }
}

// The step HELP: the smallest m in l..n-1 whose E[m] is negligible beside its
// two diagonal neighbours (tested exactly in REAL), or n.
std::int32_t find_split(MATRIX& d, MATRIX& e, std::int32_t l, std::int32_t n) {
  for (std::int32_t m = l; m < n; ++m) {
    const REAL dd = std::fabs(at(d, m + 1)) + std::fabs(at(d, m));
    if (std::fabs(at(e, m)) + dd == dd) return m;
  }
  return n;
}

constexpr std::int32_t kPauseSweeps = 30;
// Finite input never comes near this; it only guarantees that a matrix that
// does not converge still ends.
constexpr std::int32_t kMaxSweeps = 10000;

bool all_finite(MATRIX& v, std::int32_t first, std::int32_t last) {
  for (std::int32_t i = first; i <= last; ++i)
    if (!std::isfinite(at(v, i))) return false;
  return true;
}

bool square_finite(const MATRIX& a, std::int32_t n) {
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j)
      if (!std::isfinite(a[i][j])) return false;
  return true;
}

void pause_tqli(Pause& pause) {
  pause.show_and_wait({"Pause in routine TQLI: more than 30 iterations!", "Press ENTER (RETURN) to continue..."});
}

// The sines and cosines of one sweep's rotations, by the index i of the
// rotation of columns i and i+1.
struct Rotations {
  std::vector<REAL> s, c;
};

// One implicit-shift QL sweep on the block l..m of the tridiagonal matrix;
// the rotations are recorded for apply_rotations, as they do not depend on Z.
void ql_sweep(MATRIX& d, MATRIX& e, std::int32_t l, std::int32_t m, Rotations& rot) {
  REAL g = (at(d, l + 1) - at(d, l)) / (2 * at(e, l));
  REAL r = std::sqrt(g * g + 1);
  g = at(d, m) - at(d, l) + at(e, l) / (g + SIGN(r, g));
  REAL s = 1;
  REAL c = 1;
  REAL p = 0;
  for (std::int32_t i = m - 1; i >= l; --i) {
    const REAL f = s * at(e, i);
    const REAL b = c * at(e, i);
    if (std::fabs(f) >= std::fabs(g)) {
      c = g / f;
      r = std::sqrt(c * c + 1);
      at(e, i + 1) = f * r;
      s = 1 / r;
      c = c * s;
    } else {
      s = f / g;
      r = std::sqrt(s * s + 1);
      at(e, i + 1) = g * r;
      c = 1 / r;
      s = s * c;
    }
    g = at(d, i + 1) - p;
    r = (at(d, i) - g) * s + 2 * c * b;
    p = s * r;
    at(d, i + 1) = g + p;
    g = c * r - b;
    rot.s[static_cast<std::size_t>(i)] = s;
    rot.c[static_cast<std::size_t>(i)] = c;
  }
  at(d, l) = at(d, l) - p;
  at(e, l) = g;
  at(e, m) = 0;
}

// Applies the sweep's rotations i = m-1 down to l to the columns of Z. Each
// row of Z meets them in the same order as when each rotation runs over all
// rows at once, so every element gets the same operations; going along a row
// keeps it contiguous, the element two successive rotations share (column i)
// stays in a register, and two rows at a time keep the x87 unit busy.
void apply_rotations(MATRIX& z, std::int32_t l, std::int32_t m, std::int32_t first, std::int32_t last,
                     const Rotations& rot) {
  const REAL* s = rot.s.data();
  const REAL* c = rot.c.data();
  std::int32_t k = first;
  for (; k + 1 <= last; k += 2) {
    REAL* za = z[k];
    REAL* zb = z[k + 1];
    REAL fa = za[m];
    REAL fb = zb[m];
    for (std::int32_t i = m - 1; i >= l; --i) {
      const REAL si = s[i];
      const REAL ci = c[i];
      const REAL xa = za[i];
      const REAL xb = zb[i];
      za[i + 1] = si * xa + ci * fa;
      zb[i + 1] = si * xb + ci * fb;
      fa = ci * xa - si * fa;
      fb = ci * xb - si * fb;
    }
    za[l] = fa;
    zb[l] = fb;
  }
  if (k == last) {
    REAL* zk = z[k];
    REAL f = zk[m];
    for (std::int32_t i = m - 1; i >= l; --i) {
      const REAL x = zk[i];
      zk[i + 1] = s[i] * x + c[i] * f;
      f = c[i] * x - s[i] * f;
    }
    zk[l] = f;
  }
}

}  // namespace

REAL SIGN(REAL a, REAL b) { return b < 0 ? -std::fabs(a) : std::fabs(a); }

namespace {

// TRED2's Householder reduction: e and, in d, each step's H.
bool householder_reduction(MATRIX& a, MATRIX& d, MATRIX& e, std::int32_t n, REAL* scratch, Workers& workers) {
  for (std::int32_t i = n; i >= 2; --i) {
    const std::int32_t l = i - 1;
    REAL h = 0;
    if (l > 1) {
      REAL scale = 0;
      for (std::int32_t k = 1; k <= l; ++k) scale = scale + std::fabs(a[i][k]);
      // A value that is not finite shows in the next row's scale or in h at
      // the latest, so at most one step works on it.
      if (!std::isfinite(scale)) return false;
      if (scale == 0) {
        at(e, i) = a[i][l];
      } else {
        h = householder_step(a, e, i, scale, scratch, workers);
        if (!std::isfinite(h) || !std::isfinite(at(e, i))) return false;
      }
    } else {
      at(e, i) = a[i][l];
    }
    at(d, i) = h;
  }
  at(d, 1) = 0;
  at(e, 1) = 0;
  return true;
}

}  // namespace

namespace {
std::atomic<std::int64_t> reductions_begun{0};
}  // namespace

std::int64_t TRED2_calls() { return reductions_begun.load(std::memory_order_relaxed); }

bool TRED2(MATRIX& a, MATRIX& d, MATRIX& e, std::int32_t n, Workers& workers) {
  reductions_begun.fetch_add(1, std::memory_order_relaxed);
  std::vector<REAL> scratch(static_cast<std::size_t>(n) + 1);
  if (!householder_reduction(a, d, e, n, scratch.data(), workers)) return false;
  accumulate_transform(a, d, n, scratch.data(), workers);
  return all_finite(d, 1, n) && all_finite(e, 1, n) && square_finite(a, n);
}

// The accumulation changes only the rows and columns before each diagonal
// element it reads, so the reduced diagonal is already D.
bool tridiagonal_reduction(MATRIX& a, MATRIX& d, MATRIX& e, std::int32_t n, Workers& workers) {
  std::vector<REAL> scratch(static_cast<std::size_t>(n) + 1);
  if (!householder_reduction(a, d, e, n, scratch.data(), workers)) return false;
  for (std::int32_t i = 1; i <= n; ++i) at(d, i) = a[i][i];
  return all_finite(d, 1, n) && all_finite(e, 1, n);
}

namespace {

// TQLI's sweeps, rotating the columns of z when it is given.
TqliOutcome ql_iteration(MATRIX* z, MATRIX& d, MATRIX& e, std::int32_t n, Pause& pause, Workers& workers) {
  TqliOutcome outcome;
  if (!all_finite(d, 1, n) || !all_finite(e, 1, n)) {
    outcome.finite = false;
    return outcome;
  }
  for (std::int32_t i = 2; i <= n; ++i) at(e, i - 1) = at(e, i);
  at(e, n) = 0;
  Rotations rot{std::vector<REAL>(static_cast<std::size_t>(n) + 1),
                std::vector<REAL>(static_cast<std::size_t>(n) + 1)};
  for (std::int32_t l = 1; l <= n; ++l) {
    std::int32_t iter = 0;
    std::int32_t m = find_split(d, e, l, n);
    while (m != l) {
      if (iter == kPauseSweeps) pause_tqli(pause);
      if (iter == kMaxSweeps) break;
      ++iter;
      ++outcome.sweeps;
      ql_sweep(d, e, l, m, rot);
      // An overflow inside the sweep would otherwise turn every later sweep
      // into NaN arithmetic; the rotations are not applied then.
      if (!all_finite(d, l, m) || !all_finite(e, l, m)) {
        outcome.finite = false;
        return outcome;
      }
      // Each row of Z meets the rotations on its own, so the rows are shared out.
      if (z != nullptr)
        share_range(workers, 1, n, static_cast<std::int64_t>(n) * (m - l) * 2,
                    [&](std::int32_t first, std::int32_t last) { apply_rotations(*z, l, m, first, last, rot); });
      m = find_split(d, e, l, n);
    }
  }
  return outcome;
}

}  // namespace

TqliOutcome TQLI(MATRIX& z, MATRIX& d, MATRIX& e, std::int32_t n, Pause& pause, Workers& workers) {
  return ql_iteration(&z, d, e, n, pause, workers);
}

TqliOutcome tridiagonal_eigenvalues(MATRIX& d, MATRIX& e, std::int32_t n, Pause& pause, Workers& workers) {
  return ql_iteration(nullptr, d, e, n, pause, workers);
}

void EIGENSORT(MATRIX& v, MATRIX& ee, MATRIX& ro, MATRIX& d, std::int32_t n, bool erb) {
  for (std::int32_t i = 1; i < n; ++i) {
    std::int32_t k = i;
    REAL p = at(d, i);
    for (std::int32_t j = i + 1; j <= n; ++j) {
      if (std::fabs(at(d, j)) >= std::fabs(p)) {
        k = j;
        p = at(d, j);
      }
    }
    if (k == i) continue;
    at(d, k) = at(d, i);
    at(d, i) = p;
    for (std::int32_t j = 1; j <= n; ++j) std::swap(v[j][i], v[j][k]);
    std::swap(at(ro, i), at(ro, k));
    if (erb) std::swap(at(ee, i), at(ee, k));
  }
}
