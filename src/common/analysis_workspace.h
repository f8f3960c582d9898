#pragma once

#include <cstdint>
#include <vector>

#include "common/data_table.h"
#include "common/matrix.h"
#include "common/real.h"
#include "common/run_plan.h"

class Workers;
struct ResidualTest;

// What the eigenvalue mode found for eigenvalue I beyond DE and EE, kept for
// the outputs that are written after the analysis (the picture, the results
// for scripts). The residual test is there only when an error is known, its
// probabilities only when the analysis's observer wanted them (the
// program's when a report file is open, the library's always).
struct EigenTestRecord {
  bool tested = false;         // an error is known: the residual test ran
  bool probabilities = false;  // Q_all and Q_rest were computed
  REAL G = 0;                  // chi-square sum
  std::int64_t NR[4] = {0, 0, 0, 0};  // residuals beyond 1, 2, 3 standard deviations (index 0 unused)
  REAL Q_all = 0;   // Q(nm-i)
  REAL Q_rest = 0;  // Q((n-i)(m-i))
};

// The analysis's working matrices and what it finds beyond the data table,
// allocated zeroed as the plan needs them.
struct AnalysisWorkspace {
  // The order of the product matrix (the plan's MIN) when the analysis
  // begins; after an elimination the number of steps done, that is the rank
  // found (limited by NU).
  std::int32_t MIN = 0;
  // Exponent of the eigenvector check's smallness threshold 10^-SIZE.
  std::int32_t SIZE = 10;
  // Variances of the elements of A (when an error is given), exchanged and
  // propagated with A; SD[i][i] is the pivot's variance after step i.
  MATRIX SD;
  // The product matrix (order MIN); in eigenvalue mode afterwards the
  // eigenvectors, one per column, sorted like the eigenvalues.
  MATRIX T;
  MATRIX ST;  // variances of the elements of T
  MATRIX CC;  // eigenvalue mode: a copy of the matrix that was decomposed
  MATRIX DE;  // eigenvalue mode: the eigenvalues, sorted by decreasing magnitude (column 1)
  // Eigenvalue mode: first the sub-diagonal work vector of the decomposition,
  // then the eigenvalues' variances (column 1).
  MATRIX EE;
  MATRIX FE;  // eigenvalue mode: CC times the eigenvector last examined (column 1)
  // Remainder statistics: AR[1..8][I] describes the remainder before step I
  // (mean, deviation, skewness, kurtosis; signed, then absolute values).
  MATRIX AR;
  // Histogram: GB[i][0] is the centre of class i (1..GL), GB[i][1] the count
  // of the input matrix, GB[i][I+1] that of the remainder after step I;
  // scaled to a largest count of 1 per column when the file is written.
  MATRIX GB;
  std::int32_t GL = 0;  // number of classes
  std::int32_t GK = 0;  // count columns: the input, then one per elimination step
  // First the largest magnitude of the input matrix, then the lower edge of class 1.
  REAL GA = 0;
  // The largest count of each column (index 1..GK), kept when the histogram
  // file scales the columns, so that the counts can be told again.
  std::vector<REAL> histogram_largest;
  // With a picture and errors: the root mean square of the remainder's
  // propagated errors after step I, [I] for each step counted.
  std::vector<REAL> remainder_errors;
  // A tall matrix analysed by blocks: the residual tests after I
  // components ([I]), summed over the blocks, in place of the tests of the
  // analysis's own data; past their end eigenvalues go untested.
  const std::vector<ResidualTest>* given_tests = nullptr;
  // Eigenvalue mode: eigen_tests[I - 1] for eigenvalue I = 1..U, in report order.
  std::vector<EigenTestRecord> eigen_tests;
};

// One analysis: the data it reduces, the plan it follows, its workspace and
// the threads it shares its larger loops among. The program's run and the
// library's calls each hand one to the analysis; it sees no settings.
struct AnalysisRun {
  DataTable& table;
  const RunPlan& plan;
  AnalysisWorkspace& work;
  Workers& workers;
};

// The working matrices the plan needs, allocated zeroed for the table's
// current shape (the plan's MIN as the order): the element variances with
// an error, the product matrix and its variances, the eigenvalue mode's
// matrices, the remainder statistics.
void size_working_matrices(AnalysisWorkspace& work, const DataTable& table, const RunPlan& plan);
