#pragma once

#include <cstdint>
#include <vector>

#include "common/matrix.h"
#include "common/real.h"

class Pause;
class Workers;

// Random-sign draws for the rank verdict: tests that hold when the noise
// level differs from element to element, and the noise edge of unequal
// errors drawn rather than bounded.
//
// Signflip parallel analysis (D. Hong, Y. Sheng and E. Dobriban,
// "Selecting the number of components in PCA via random signflips", 2020,
// arXiv:2012.02985): noise that is symmetric about zero keeps its law when
// the sign of every element is flipped at random, whatever each element's
// variance, so the flipped matrices show what the noise of these data
// alone would give. The plain form flips the whole data matrix; the
// components flipped with it then spread into a noise of their own and
// hide the weaker ones. Here, as in the wild bootstrap of residuals (C. F.
// J. Wu, Annals of Statistics 14, 1986; R. Davidson and E. Flachaire,
// "The wild bootstrap, tamed at last", Journal of Econometrics 146, 2008),
// the test of component k + 1 keeps the data's first k components and flips
// only what is left:
//
//   X*_ij = F_ij + r_ij (A_ij - F_ij) / ((1 - h_i)(1 - g_j))^a,
//
// F the data rebuilt from its first k singular components, r_ij random
// signs, h_i and g_j the leverages of row i and column j (the squared norms
// of the rows of the first k left and right singular vectors). Taking k
// components out of the data also takes noise out of each element, on
// average the share (1 - h_i)(1 - g_j) of its variance; the leverage scale
// puts it back, as the heteroscedasticity-consistent estimates of
// regression do (J. G. MacKinnon and H. White, Journal of Econometrics 29,
// 1985): a = 1/2 restores it exactly for noise of one level (their HC2),
// a = 1 more than restores it wherever the noise is uneven (HC3, the
// jackknife's). Component k + 1 stands out when its singular value exceeds
// singular value k + 1 of every one of kSignflipDraws such matrices: for
// noise alone the data's value is then the largest of 20 exchangeable
// ones, in 1 case of 20 (a 5 % test).
//
// Every draw's signs come from their own generator, seeded by the
// component and the draw, and each draw is made on one thread (several
// side by side on several threads): the same on every machine and at every
// thread count. A component's draws take their singular values from the
// product matrix in double (Eigen); the drawn noise edge, which the block
// prints, from the program's eigen-decomposition.

inline constexpr int kSignflipDraws = 19;
// Multiply-adds the verdict spends on random-sign draws at most (counted
// as the program's decomposition would make them): about half a second on
// one thread (a draw of 300 x 200 counts 1.1E7 and takes about 6 ms), the
// tests of some 100 components of 60 x 60, 20 of 100 x 100, 2 of 300 x 200.
// Past it the block says which test took their place.
inline constexpr std::int64_t kSignflipBudget = std::int64_t(1) << 29;
// The seed of the first draw: the arXiv number of the method's paper.
inline constexpr std::uint64_t kSignflipSeed = 2012029850u;

// How the residual is scaled before its signs are flipped: by the square
// root of (1 - h_i)(1 - g_j) (even) or by the product itself (cautious).
enum class ResidualScale { even, cautious };

// The data and its singular decomposition as the verdict has it: the
// eigenvectors of the product matrix (the shorter side's singular vectors)
// in the columns of T, the singular values decreasing from index 1.
struct FlipData {
  const MATRIX& A;  // rows 1..N, columns 1..M
  const MATRIX& T;
  const std::vector<REAL>& singular;
  std::int32_t N, M;
};

// The data's first k singular components: u[i * k + c] and v[j * k + c]
// (c = 0..k-1) with A v_c = s_c u_c. The shorter side's vectors are the
// columns of T; the longer side's follow from them, each element a sum in
// the order of its index.
struct Components {
  std::int32_t k;
  std::vector<REAL> u, v;
};
Components leading_components(const FlipData& d, std::int32_t k, Workers& workers);
// The share 1 - (sum of the squared factors) of each index's noise left
// after the components, from index 1: 1 minus the index's leverage.
std::vector<REAL> shares_left(const std::vector<REAL>& factors, std::int32_t count, std::int32_t k);
// The eigenvalues of the product matrix of X (rows 1..N, columns 1..M),
// decreasing, [1..MIN], without its eigenvectors; a rounding error's
// negative value counts as 0. `what` names X where the decomposition
// overflows.
std::vector<REAL> product_eigenvalues(const MATRIX& X, std::int32_t N, std::int32_t M, const char* what,
                                      Pause& pause, Workers& workers);

// Multiply-adds of one draw (the product matrix and its decomposition,
// estimated from their loop counts; nothing is timed) and of one test of a
// component after k others (its kSignflipDraws draws and the rebuilt data).
std::int64_t sign_draw_work(std::int32_t N, std::int32_t M);
std::int64_t signflip_test_work(std::int32_t N, std::int32_t M, std::int32_t k);

// The largest singular value k + 1 (k = 0 .. MIN - 1) of the kSignflipDraws
// flipped matrices after k components.
REAL signflip_null(const FlipData& d, std::int32_t k, ResidualScale scale, Pause& pause, Workers& workers);

// Whether component k + 1 stands above all of them.
bool stands_above_signflips(const FlipData& d, std::int32_t k, ResidualScale scale, Pause& pause, Workers& workers);

// Components 1, 2, ... for as long as each stands above the draws of the
// cautious scale: a count that noise alone exceeds in at most about 1 case
// of 20 whatever its variance from element to element. It ends at `limit`
// at the latest (at most MIN - 1). Each test is paid from `budget` before it
// is made; when the next one would not be covered the count stops short of
// its end (complete false) at what it has shown.
struct SignflipCount {
  std::int32_t count = 0;
  bool complete = true;
};
SignflipCount signflip_count(const FlipData& d, std::int32_t limit, std::int64_t& budget, Pause& pause,
                             Workers& workers);

// The noise edge of unequal errors drawn as Horn's parallel analysis draws
// it (J. L. Horn, "A rationale and test for the number of factors in factor
// analysis", Psychometrika 30, 1965), with each element's own error: the
// largest singular value of kSignflipDraws matrices of random signs times
// the elements' standard deviations, the largest of them (the 95 % point
// of that law). SD holds the variances, rows 1..N, columns 1..M.
REAL drawn_noise_edge(const MATRIX& SD, std::int32_t N, std::int32_t M, Pause& pause, Workers& workers);
