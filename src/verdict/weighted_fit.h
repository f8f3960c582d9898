#pragma once

#include <cstdint>

#include "common/element_errors.h"
#include "common/matrix.h"
#include "common/real.h"

class Workers;

// A rank-r fit to the data weighted by the element variances, for the rank
// verdict with unequal errors. The leading components of the product matrix
// fit the data in the plain least-squares sense; where the errors differ
// from element to element, the noisy elements pull those components off the
// best fit of the quiet ones, and their residuals fail the chi-square test
// even at the true rank. The weighted fit is maximum likelihood principal
// component analysis (P. D. Wentzell, D. T. Andrews, D. C. Hamilton, K. Faber
// and B. R. Kowalski, "Maximum likelihood principal component analysis",
// Journal of Chemometrics 11, 1997), by alternating weighted least squares:
// started from the leading r eigenvectors of the product matrix, the factors
// of the longer side are solved with those of the shorter side fixed, then
// the other way round, kWeightedFitRounds times.
//
// The first step weighs each element by its variance as the analysis forms
// it, from the data value: the larger of its absolute error squared and its
// relative error times the value, squared. A relative error
// taken from the noisy value itself makes the chi-square sum biased high
// (Neyman's chi-square: an element that noise drew towards zero gets too
// small a variance), which on a large matrix fails the test at any rank.
// Every later step, and the sum, take the variance from the fitted value
// instead, as Pearson's chi-square takes it from the expected value (S.
// Baker and R. D. Cousins, "Clarification of the use of chi-square and
// likelihood functions in fits to histograms", Nuclear Instruments and
// Methods 221, 1984). An element of variance 0 in SD stays out throughout;
// where no error is given the variances of SD hold throughout.
struct WeightedFitInputs {
  const MATRIX& A;   // data, rows 1..N, columns 1..M
  const MATRIX& SD;  // variance of each element; 0 leaves the element out
  const MATRIX& T;   // eigenvectors of the product matrix, one per column, order min(N, M)
  std::int32_t N, M;
  ElementErrors errors;  // the absolute and relative error of each element
};

inline constexpr int kWeightedFitRounds = 3;
// Multiply-adds the verdict spends on weighted fits at most: a few seconds.
inline constexpr std::int64_t kWeightedFitBudget = std::int64_t(1) << 32;

// The chi-square sum of the residuals of the weighted rank-r fit (r >= 1),
// adding the elements of each row of the longer side in order and the rows
// in order: the same on any number of threads. Not finite when it overflows.
REAL weighted_fit_chi_square(const WeightedFitInputs& in, std::int32_t r, Workers& workers);

// Multiply-adds of that fit, to keep its time within bounds.
std::int64_t weighted_fit_work(std::int32_t N, std::int32_t M, std::int32_t r);
