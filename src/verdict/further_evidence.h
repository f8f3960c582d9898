#pragma once

#include <cstdint>
#include <vector>

#include "common/matrix.h"
#include "common/real.h"

// Without the error: two further counts that weigh the components inside
// the verdict's range. Both are computed in double: they decide between
// counts, and no digit of them is printed beyond three.

// The F-test of Faber and Kowalski with the noise estimated (N. M. Faber and
// B. R. Kowalski, "Modification of Malinowski's F-test for abstract factor
// analysis", Journal of Chemometrics 11, 1997): eigenvalue k of the product
// matrix, over the expected largest eigenvalue nu1 of the noise left after
// k - 1 components (an (n - k + 1) x (p - k + 1) matrix of unit noise), is
// set against the eigenvalues past it over their share nu2 = (n - k + 1)
// (p - k + 1) - nu1 of that noise's degrees of freedom, as F(nu1, nu2). The
// expected largest eigenvalue is Johnstone's centring plus his scaling times
// the mean of TW1, -1.2065. Tested from the smallest eigenvalue up, the count
// is the largest k whose F stands beyond the 1 % point; 0 when none does.
struct FaberKowalski {
  std::int32_t count = 0;
  std::vector<double> P;  // P[k]: the tail probability of F for component k, k = 1..p-1; [0] unused
};
FaberKowalski faber_kowalski_count(const std::vector<REAL>& eigenvalues, std::int32_t N, std::int32_t M);
inline constexpr double kFaberKowalskiLevel = 0.01;

// Levels at which the F-test's count settles a range on its own
// (rank_verdict.cpp): a component clear of the noise at 0.1 %, and the
// component past a count that the noise left after it reaches in at least
// one case of five.
inline constexpr double kFaberKowalskiClear = 0.001;
inline constexpr double kFaberKowalskiWithinNoise = 0.2;
// Past a count whose values are not noise of one level, the next component
// must lie further within the noise.
inline constexpr double kFaberKowalskiWithinUnevenNoise = 0.35;
// The tail probability of F for component k (1 when there is none).
double faber_kowalski_tail(const FaberKowalski& f, std::int32_t k);

// Malinowski's indicator function (E. R. Malinowski, "Determination of the
// number of factors and the experimental error in a data matrix", Analytical
// Chemistry 49, 1977): with the eigenvalues L_j of the product matrix of an
// n x p matrix (n >= p), the real error RE(k) = sqrt(sum over j > k of L_j /
// (n (p - k))) and IND(k) = RE(k) / (p - k)^2; the count is the k of least
// IND among 1 .. p - 1 (ties to the smaller); 0 when p < 2 or the matrix is zero.
std::int32_t malinowski_count(const std::vector<REAL>& eigenvalues, std::int32_t N, std::int32_t M);

// P(F > x) for Snedecor's F law with d1 and d2 degrees of freedom (real
// values allowed): the regularised incomplete beta function
// I_{d2 / (d2 + d1 x)}(d2 / 2, d1 / 2).
double f_tail(double x, double d1, double d2);

// Element-wise k-fold cross-validation of the count (R. Bro, K. Kjeldahl,
// A. K. Smilde and H. A. L. Kiers, "Cross-validation of component models: a
// critical look at current methods", Analytical and Bioanalytical Chemistry
// 390, 2008): the elements fall into kFolds segments along diagonals; each
// segment in turn is left out, the model of r components is fitted to the
// rest with the left-out elements as missing values (expectation
// maximisation: they take the model's values until these settle), and the
// squared errors of their prediction add up to PRESS(r). The count is the r
// of least PRESS among from..to (ties to the smaller). The counts are tried
// from the smallest up.
inline constexpr std::int32_t kFolds = 7;
// Multiply-adds of the cross-validation at most (about a tenth of a second
// on one thread); past them it gives no count.
inline constexpr std::int64_t kCrossValidationBudget = 400'000'000;

struct CrossValidation {
  bool complete = false;    // every fold of every count within the budget
  std::int32_t from = 0;    // the counts tried
  std::vector<double> press;  // press[r - from]
  // whole[r - from]: press holds every segment's share. A count whose sum
  // reached the least PRESS of a count before it is given up there (it
  // cannot be the least), and press holds that part of the sum.
  std::vector<bool> whole;
  std::int32_t best = -1;
  std::int64_t work = 0;    // multiply-adds spent
};

// The most components whose fit has fewer parameters, r (n + p - r), than
// the elements one fold keeps: a fit with as many predicts nothing left out.
std::int32_t most_components_to_cross_validate(std::int32_t N, std::int32_t M);

// `T` holds the short side's singular vectors (the verdict's product
// matrix's eigenvectors, decreasing), the start of every fit. Needs
// 0 <= from <= to < min(N, M).
CrossValidation cross_validate(const MATRIX& A, const MATRIX& T, std::int32_t N, std::int32_t M, std::int32_t from,
                               std::int32_t to, std::int64_t budget = kCrossValidationBudget);
