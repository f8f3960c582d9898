#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/real.h"

struct AnalysisContext;
struct RunState;

// Eigenvalue mode of the analysis: decomposition of the product matrix (or
// of the leading square block of A), eigenvalue variances, the report lines,
// the residual chi-square tests and the eigenvector check.
void eigenvalue_analysis(AnalysisContext& q);

// Chi-square sum and the counts of residuals beyond 1, 2 and 3 standard deviations.
struct ResidualTest {
  REAL G = 0;
  std::int64_t NR[4] = {0, 0, 0, 0};
};

// The residual tests of eigenvalues 1, 2, ..., U in turn, against the data
// rebuilt from the first I eigenvectors (the columns of T). The rebuilt
// values are carried from one eigenvalue to the next: each is still the sum
// over J = 1..I of (projection on eigenvector J) x component, formed left to
// right, and each projection is summed over K = 1..MIN in order; only the
// repetition of the earlier terms is saved. The standard deviation of every
// element is the same for every eigenvalue, so it is taken once. An element
// with variance 0 adds nothing to the sum.
//
// The tests of a block of eigenvalues are computed together, one row of the
// data at a time, so each row is read from memory once per block instead of
// once per eigenvalue; every sum still adds the elements in row-major order.
//
// On several threads a block goes through the data in chunks of rows, each
// in two rounds: first the elements of the chunk are shared out, and each
// gets its rebuilt values, its squared deviations (F / E)^2 for every
// eigenvalue of the block, and its counts; then the eigenvalues are shared
// out, and each adds the chunk's squared deviations to its sum in row-major
// order. The counts are whole numbers, so their order does not matter.
class ResidualTester {
 public:
  ResidualTester(RunState& s, std::int32_t U);
  // Must be called for I = 1, 2, ..., U in order.
  ResidualTest test(std::int32_t I);

 private:
  static constexpr std::int32_t kBlock = 16;
  // Elements per chunk: the squared deviations of a chunk (kBlock values per
  // element) stay within the second-level cache of most processors.
  static constexpr std::int64_t kChunkElements = 4096;
  void compute_block(std::int32_t first, std::int32_t last);
  void compute_block_in_chunks(std::int32_t count);
  void add_squares(std::int32_t b, bool pair, std::int64_t elements, std::int64_t stride);
  void add_elements(std::int32_t count, std::int32_t S, std::int32_t R0, std::int32_t R1, REAL* squares,
                    std::int64_t stride, std::int64_t* counts);
  void project(std::int32_t I, REAL* projection, REAL* component) const;

  RunState& s_;
  std::int32_t U_;
  std::size_t cols_;
  std::size_t vector_length_;
  std::vector<REAL> rebuilt_;
  std::vector<REAL> deviations_;
  std::vector<REAL> projections_;  // kBlock vectors of the current block
  std::vector<REAL> components_;
  std::vector<ResidualTest> results_;  // of the current block
  std::vector<REAL> squares_;          // of a chunk, kBlock runs of its elements
  std::int32_t block_first_ = 0;
  std::int32_t block_last_ = -1;
};
