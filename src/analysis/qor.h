#pragma once

#include <cstdint>

#include "common/matrix.h"
#include "common/real.h"

struct AnalysisRun;
struct ElementErrors;
class AnalysisObserver;
class Workers;

// What the analysis procedure works with besides the run state: its
// parameters (all by value), the observer it tells what happens, and
// whether a measurement error is known.
struct AnalysisContext {
  AnalysisRun& s;
  AnalysisObserver& observer;
  bool TP, ES, SM;
  REAL ER, ERPR;
  std::int32_t U;
  bool ERB;
};

// The rank analysis: element variances, optional product matrix, then
// Gaussian elimination with complete pivoting (or the eigenvalue analysis).
// It writes nothing: the observer hears of every stage and step, and the
// results stay in the run state.
void QOR(AnalysisRun& s, AnalysisObserver& observer, bool TP, bool ES, bool SM, REAL ER, REAL ERPR, std::int32_t U);

// Stages of QOR, exposed for tests. The errors are ER and ERPR for every
// element, or the table's element by element where the plan takes them.
void compute_element_variances(AnalysisRun& s, REAL ER, REAL ERPR);
void compute_product_matrix(AnalysisRun& s, bool ERB);

// The same two stages on matrices of the caller's (rows 1..N, columns 1..M):
// each element's variance is the larger of (relative error x element)^2 and
// (absolute error)^2 (element_errors.h); the product matrix (order
// min(N, M)) goes to T and, when ST is given, the variances of its elements
// to ST. Overflow stops the run (status 67). The workers share the rows out;
// the results are those of one thread.
void element_variances(const MATRIX& A, MATRIX& SD, std::int32_t N, std::int32_t M, const ElementErrors& errors,
                       Workers& workers);
struct ProductInputs {
  const MATRIX& A;
  const MATRIX* SD;  // needed only when ST is given
  std::int32_t N, M;
};
void product_matrix(const ProductInputs& in, MATRIX& T, MATRIX* ST, Workers& workers);
// The product of the columns (order M), summed over the rows k = 1..N in
// increasing order, whatever N: of a block of rows of a tall matrix too.
void product_of_rows(const ProductInputs& in, MATRIX& T, MATRIX* ST, Workers& workers);

void run_elimination(AnalysisContext& q);
// Seconds since midnight from the local clock, to the hundredth.
REAL time_of_day_seconds();
// now - start, with a day added when the run passed midnight.
REAL elapsed_seconds(REAL start, REAL now);
