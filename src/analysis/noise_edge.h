#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/matrix.h"
#include "common/real.h"

// The noise edge: how large the largest singular value of pure noise gets
// in a matrix of the given size and element errors. The rank verdict counts
// the components above it, and the picture draws it; both state it with the
// words and numbers of noise_edge_formula, so that no output can explain it
// otherwise than it was computed.

struct NoiseEdge {
  REAL edge = 0;               // the noise edge
  REAL rms = 0;                // root mean square of the elements' standard deviations
  bool equal = true;           // every element has the same error
  std::int64_t included = 0;   // elements with a variance above 0
};

// From the element variances SD (rows 1..N, columns 1..M). For independent
// Gaussian noise with standard deviations s_ij the largest singular value
// lies, up to a term of order max s_ij sqrt(log n), below the square root of
// the largest row sum of s_ij^2 plus that of the largest column sum (A. S.
// Bandeira and R. van Handel, "Sharp nonasymptotic bounds on the norm of
// random matrices with independent entries", Annals of Probability 44,
// 2016). With equal errors that is sigma (sqrt(N) + sqrt(M)), the limit of
// the largest noise singular value (S. Geman, Annals of Probability 8, 1980);
// with unequal ones it follows the noisiest row and column, where the root
// mean square would let a few noisy rows pass for components. A sum that
// overflows gives a non-finite edge.
NoiseEdge noise_edge_of_variances(const MATRIX& SD, std::int32_t N, std::int32_t M);

// The sums of the element variances the edge is formed from, each row's in
// increasing column and the rows added in order: of a whole matrix, or of
// blocks of its rows added in block order.
struct VarianceSums {
  REAL total = 0, largest_row = 0;
  REAL first = 0;                 // the variance of the first element
  std::vector<REAL> column_sums;  // [j - 1]
  std::int64_t included = 0;      // variances above 0
  bool equal = true;              // all equal first
};
VarianceSums variance_sums(const MATRIX& SD, std::int32_t N, std::int32_t M);
// The sums of a's rows followed by b's.
VarianceSums added_variance_sums(const VarianceSums& a, const VarianceSums& b);
// The edge of N x M elements of those sums.
NoiseEdge noise_edge_of_sums(const VarianceSums& sums, std::int64_t N, std::int32_t M);
// Elements of one standard deviation sigma: sigma (sqrt(N) + sqrt(M)).
REAL noise_edge_of_sigma(REAL sigma, std::int32_t N, std::int32_t M);

// How an edge was found: for equal errors (or an estimated sigma) from
// sigma; for unequal ones by the bound of the row and column sums, or as
// the largest of a number of random-sign draws of the errors.
enum class NoiseEdgeKind { equal_errors, row_column_bound, drawn };

// The edge's formula with the matrix's numbers: "sigma x (sqrt(12) +
// sqrt(20))", "sqrt(largest row sum) + sqrt(largest column sum) of the
// element variances", or "the largest singular value of 19 matrices of the
// elements' errors with random signs" (draws: how many).
std::string noise_edge_formula(NoiseEdgeKind kind, std::int32_t N, std::int32_t M, int draws = 0);
// Where sigma comes from: "given", "given; root mean square of the elements'
// errors", or "estimated from the data".
std::string sigma_origin(bool error_given, bool equal_errors);
