#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/matrix.h"
#include "common/real.h"

struct AnalysisContext;
struct RunState;
class Workers;

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
// On several threads the block's eigenvalues are cut into runs of
// consecutive eigenvalues, one per thread, and the data into chunks of rows,
// each in two rounds. First the elements of the chunk are shared out, and
// each element's rebuilt value is carried through the eigenvalues up to the
// start of every run. Then each run takes the chunk on from there: it
// carries the rebuilt values on through its own eigenvalues and forms their
// deviations, counts and sums in row-major order, as on one thread. A block
// holds at least one eigenvalue per thread.
//
// The data, their variances and the eigenvectors are the caller's: the
// eigenvalue mode tests A against the columns of T; the rank verdict tests
// its own copy of the data. A test for I = 0 compares the data with zero:
// column 0 of the eigenvector matrix is never used and stays zero.
struct ResidualInputs {
  const MATRIX& A;   // data, rows 1..N, columns 1..M
  const MATRIX& SD;  // variance of each element
  const MATRIX& T;   // eigenvectors of the product matrix, one per column, order MIN
  std::int32_t N, M, MIN;
  Workers& workers;
};

class ResidualTester {
 public:
  ResidualTester(const ResidualInputs& in, std::int32_t U);
  // The eigenvalue mode's matrices: A, SD, T of the run.
  ResidualTester(RunState& s, std::int32_t U);
  // Must be called for I = 1, 2, ..., U in order (or from 0 on).
  ResidualTest test(std::int32_t I);
  // Lets tests go on beyond the U given at the start (the blocks not yet
  // computed then reach further).
  void extend_to(std::int32_t U) { U_ = U; }

 private:
  // Elements per chunk: the rebuilt values of a chunk's runs stay within the
  // second-level cache of most processors.
  static constexpr std::int64_t kChunkElements = 8192;
  void compute_block(std::int32_t first, std::int32_t last);
  void compute_block_shared(std::int32_t count);
  void carry_to_run_starts(std::int32_t S0, std::int64_t e0, std::int64_t e1, const std::int32_t* starts,
                           std::int32_t runs, REAL* carried, std::int64_t stride) const;
  void test_run(std::int32_t S0, std::int32_t S1, std::int32_t b0, std::int32_t b1, bool first_run, bool last_run,
                REAL* carried, ResidualTest* totals);
  void project(std::int32_t count, std::int32_t first, std::int32_t last);
  // The factors of the term of the block's eigenvalue b: indexed by row
  // (the projections of the rows, or the eigenvector's components when the
  // columns were projected) and by column (the other of the two).
  const REAL* row_factors(std::int32_t b) const {
    return (in_.N >= in_.M ? projections_ : components_).data() + b * vector_length_;
  }
  const REAL* column_factors(std::int32_t b) const {
    return (in_.N >= in_.M ? components_ : projections_).data() + b * vector_length_;
  }

  ResidualInputs in_;
  std::int32_t U_;
  std::int32_t block_size_;
  std::size_t cols_;
  std::size_t vector_length_;
  std::vector<REAL> rebuilt_;
  std::vector<REAL> deviations_;
  std::vector<REAL> projections_;  // block_size_ vectors of the current block
  std::vector<REAL> components_;
  std::vector<ResidualTest> results_;  // of the current block
  std::vector<REAL> carried_;          // of a chunk: each run's rebuilt values
  std::vector<REAL> next_rebuilt_;     // the last run's, for the next block
  std::int32_t block_first_ = 0;
  std::int32_t block_last_ = -1;
};
