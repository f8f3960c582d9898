#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/matrix.h"
#include "common/real.h"

struct AnalysisContext;
struct AnalysisRun;
class Workers;

// Eigenvalue mode of the analysis: decomposition of the product matrix (or
// of the leading square block of A), eigenvalue variances, the report lines,
// the residual chi-square tests and the eigenvector check.
void eigenvalue_analysis(AnalysisContext& q);
// Its two halves: the labels, the decomposition, the eigenvalues' variances
// and the sort; then each eigenvalue in turn (report lines, residual tests,
// eigenvector check). The sums of a tall matrix's blocks are decomposed once
// and examined when the residual tests of every block are in.
void decompose_for_eigenvalues(AnalysisContext& q);
void examine_eigenvalues(AnalysisContext& q);

// Chi-square sum and the counts of residuals beyond 1, 2 and 3 standard deviations.
struct ResidualTest {
  REAL G = 0;
  std::int64_t NR[4] = {0, 0, 0, 0};
};

// The residual tests of eigenvalues 1, 2, ..., U in turn, against the data
// rebuilt from the first I eigenvectors (the columns of T). Each rebuilt
// value is the sum over J = 1..I of (projection on eigenvector J) x
// component, formed left to right, and each projection is summed over
// K = 1..MIN in order. An element with variance 0 adds nothing to the sum.
//
// All the eigenvalues asked for so far are tested together, a chunk of rows
// at a time, so that nothing of the size of the data is kept: a chunk's
// rebuilt values are carried through all the eigenvalues while the chunk is
// in cache, and every sum still adds the elements in row-major order. Tests
// asked for later (extend_to) start a new pass, which forms the rebuilt
// values of the eigenvalues before them again by the same additions. The
// projections of the rows are formed per chunk; those of the columns (more
// columns than rows) need the whole data and are kept, one vector of M per
// eigenvalue.
//
// On several threads the eigenvalues of the pass are cut into runs of
// consecutive eigenvalues, one per thread, and each chunk is done in two
// rounds. First the elements of the chunk are shared out, and each
// element's rebuilt value is carried through the eigenvalues up to the
// start of every run. Then each run takes the chunk on from there: it
// carries the rebuilt values on through its own eigenvalues and forms their
// deviations, counts and sums in row-major order, as on one thread.
//
struct ResidualInputs {
  const MATRIX& A;   // data, rows 1..N, columns 1..M
  const MATRIX& SD;  // variance of each element
  const MATRIX& T;   // eigenvectors of the product matrix, one per column, order MIN
  // MIN = M for the eigenvectors of the columns' product (a tall matrix, or
  // a block of rows of one, which may hold fewer rows than M).
  std::int32_t N, M, MIN;
  Workers& workers;
};

class ResidualTester {
 public:
  ResidualTester(const ResidualInputs& in, std::int32_t U);
  // The eigenvalue mode's matrices: A, SD, T of the run.
  ResidualTester(AnalysisRun& s, std::int32_t U);
  // Must be called for I = 1, 2, ..., U in order (or from 0 on).
  ResidualTest test(std::int32_t I);
  // Lets tests go on beyond the U given at the start (the next pass then
  // reaches that far).
  void extend_to(std::int32_t U) { U_ = U; }

 private:
  // Elements per chunk: the rebuilt values of a chunk's runs stay within the
  // second-level cache of most processors.
  static constexpr std::int64_t kChunkElements = 8192;
  // Where the factors of each eigenvalue's term lie for row S: the row's
  // factor of term t at row[t * row_step], the column factors of term t at
  // column + t * column_step, indexed by column.
  struct TermFactors {
    const REAL* row;
    std::size_t row_step;
    const REAL* column;
    std::size_t column_step;
  };
  void compute_pass(std::int32_t first, std::int32_t last);
  void pipelined_pass(std::int32_t count, std::int32_t runs, std::vector<ResidualTest>& totals);
  void project_columns(std::int32_t t0, std::int32_t count, std::int32_t first, std::int32_t last);
  void project_rows(REAL* projections, std::int32_t S0, std::int32_t t0, std::int32_t t1, std::int32_t first,
                    std::int32_t last) const;
  TermFactors factors(const REAL* projections, std::int32_t S0, std::int32_t S) const;
  void carry_to_run_starts(std::int32_t S0, std::int64_t e0, std::int64_t e1, const std::int32_t* starts,
                           std::int32_t runs, std::int64_t stride);
  void test_run(std::int32_t S0, std::int32_t S1, std::int32_t t0, std::int32_t t1, const REAL* deviations,
                const REAL* projections, REAL* rebuilt, ResidualTest* totals) const;

  ResidualInputs in_;
  std::int32_t U_;
  bool rows_projected_;          // N >= M
  std::size_t component_length_; // MIN + 1
  std::size_t cols_;             // M + 1
  std::int32_t chunk_rows_;
  // Terms are counted from the first eigenvalue tested (0 or 1): the
  // rebuilt values begin there.
  std::int32_t first_term_ = -1;
  std::vector<REAL> components_;          // eigenvector of each term, components 1..MIN
  std::vector<REAL> column_projections_;  // more columns than rows: each term's, columns 1..M
  std::vector<REAL> row_projections_;     // otherwise: of the chunk's rows, chunk_rows_ per term
  std::vector<REAL> deviations_;          // of the chunk's elements, row-major
  std::vector<REAL> carried_;             // of the chunk: each run's rebuilt values
  std::vector<ResidualTest> results_;     // of the current pass
  std::int32_t pass_first_ = 0;
  std::int32_t pass_last_ = -1;
};
