#pragma once

#include <cstdint>
#include <vector>

#include "common/element_errors.h"
#include "common/matrix.h"
#include "common/real.h"

class Pause;
class Workers;

// Evolving factor analysis: how many components the rows of a series hold
// window by window, and where each component appears and disappears.
//
// Growing windows (H. Gampp, M. Maeder, C. J. Meyer and A. D. Zuberbuehler,
// "Evolving factor analysis", Talanta 32, 1985; M. Maeder and A. D.
// Zuberbuehler, "The resolution of overlapping chromatographic peaks by
// evolving factor analysis", Analytical Chemistry 58, 1986): the singular
// values of the first i rows (forward) and of the last i rows (backward),
// i = 1..N. A component appears in the forward series where a singular
// value rises out of the noise, and disappears where it does so in the
// backward one; the first to appear is taken as the first to disappear.
//
// Moving windows of a fixed number of rows (H. R. Keller and D. L. Massart,
// "Peak purity control in liquid chromatography with photodiode-array
// detection by a fixed size moving window evolving factor analysis",
// Analytica Chimica Acta 246, 1991): the singular values of rows
// i..i + w - 1, i = 1..N - w + 1.
//
// Each window's count is the number of singular values above the noise of
// that window's size, with the confidence the rank verdict states: a range
// low..high where the noise's law does not decide.

struct EvolvingSettings {
  REAL ER = 0;    // absolute error of every element
  REAL ERPR = 0;  // relative error, as a fraction of the element
  // Errors element by element of the matrix's rows 1..N, columns 1..M, in
  // place of ER (ERPR).
  const MATRIX* absolute = nullptr;
  const MATRIX* relative = nullptr;
  ElementErrors errors() const { return ElementErrors{ER, ERPR, absolute, relative}; }
  void take_errors(const ElementErrors& e) {
    ER = e.ER;
    ERPR = e.ERPR;
    absolute = e.absolute;
    relative = e.relative;
  }
  // Rows of a moving window; 0: the default, twice the components of the
  // whole matrix plus one, at least 3, at most N.
  std::int32_t window = 0;
};

// One window of rows first..last (1-based rows of the matrix).
struct WindowCount {
  std::int32_t first = 0, last = 0;
  std::vector<REAL> singular;  // [1..min(rows, M)], decreasing; [0] unused
  REAL edge = 0;               // the noise edge of this window's size
  bool equal_errors = true;    // with the error: every element of the window has the same one
  std::int32_t low = 0, high = 0;  // the count; confident when equal
  std::int32_t rows() const { return last - first + 1; }
};

// Where component k (the k-th to appear) lies: the earliest and latest row
// of its appearance and of its disappearance (its last row) that the
// counts allow. 0 where the counts never show it with confidence: it is
// then one of the components the whole matrix may or may not hold.
struct ComponentRows {
  std::int32_t appears_low = 0, appears_high = 0;
  std::int32_t disappears_low = 0, disappears_high = 0;
};

// How the windows' noise was set.
struct EvolvingNoise {
  bool error_given = false;
  bool equal_errors = true;
  // The error's root mean square (given), or the noise level estimated
  // once from the singular values of the whole matrix.
  REAL sigma = 0;
};

struct EvolvingFactors {
  std::int32_t N = 0, M = 0;
  EvolvingNoise noise;
  std::vector<WindowCount> forward;   // rows 1..i, i = 1..N
  std::vector<WindowCount> backward;  // rows i..N, i = 1..N (in row order)
  std::vector<WindowCount> moving;    // rows i..i + window - 1
  std::int32_t window = 0;
  bool window_default = false;
  std::vector<ComponentRows> components;  // [k - 1]
  // Work counted, for the tests and the benchmark: product-matrix row
  // updates and decompositions made.
  std::int64_t row_updates = 0, decompositions = 0;
};

// The whole analysis of A (rows 1..N, columns 1..M). Overflow stops with
// RunError 67; the numerical routines may pause as everywhere.
EvolvingFactors evolving_factors(const MATRIX& A, std::int32_t N, std::int32_t M, const EvolvingSettings& settings,
                                 Pause& pause, Workers& workers);

// The parts, for the library's calls on blocks and for the tests.

// Singular values of the growing windows: forward adds rows 1, 2, ..., N to
// one product matrix; backward adds N, N - 1, ..., 1. With the error, each
// window's noise edge from its element variances.
std::vector<WindowCount> growing_windows(const MATRIX& A, std::int32_t N, std::int32_t M, bool backward,
                                         const EvolvingSettings& settings, EvolvingFactors& work, Pause& pause,
                                         Workers& workers);
// Singular values of the moving windows of w rows that start at rows
// first..last (each window's rows must lie within 1..N).
std::vector<WindowCount> moving_windows(const MATRIX& A, std::int32_t N, std::int32_t M, std::int32_t w,
                                        std::int32_t first, std::int32_t last, const EvolvingSettings& settings,
                                        EvolvingFactors& work, Pause& pause, Workers& workers);
// The noise level without the error: estimated from the eigenvalues of the
// whole matrix (its singular values squared).
REAL estimated_sigma(const std::vector<REAL>& singular, std::int32_t N, std::int32_t M);
// Sets each window's count (and, without the error, its edge) for the noise.
void count_components(std::vector<WindowCount>& windows, std::int32_t M, const EvolvingNoise& noise);
// Appearance and disappearance rows of `components` components from the
// counts of the forward and backward windows (both in row order, N each).
std::vector<ComponentRows> component_rows(const std::vector<WindowCount>& forward,
                                          const std::vector<WindowCount>& backward, std::int32_t components);
// The default moving window for a matrix of N rows that holds up to
// `components` components.
std::int32_t default_window(std::int32_t components, std::int32_t N);
