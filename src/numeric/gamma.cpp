#include "numeric/gamma.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "common/pause.h"

namespace {

constexpr std::int64_t ITMAX = 1000;
constexpr REAL EPS = 3e-7L;

// Below these exponents the prefactor exp(T) counts as zero; the series and
// the continued fraction have different cut-offs.
constexpr REAL kSeriesCutoff = -15;
constexpr REAL kFractionCutoff = -68;

void pause_with(Pause& pause, const char* line) { pause.show_and_wait({line}); }

// a ln x - ln Gamma(a) - x, in this order.
REAL log_prefactor(REAL A, REAL X, REAL GLN) { return A * std::log(X) - GLN - X; }

}  // namespace

// How many terms (series) or steps (continued fraction) are allowed:
// ITMAX + 6 sqrt(a). The series needs the most near x = a, where its terms
// fall off like exp(-n^2 / 2a). For x < a + 1, term n over term 0 is
//   prod_{k=1..n} x / (a + k) <= prod_{k=1..n} (1 - (k - 1) / (a + k))
//                            <= exp(-n (n - 1) / (2 (a + n))),
// and the sum is at least term 0 (all terms are positive), so the series has
// converged once n (n - 1) >= 2 ln(1 / EPS) (a + n), ln(1 / EPS) = 15.02:
// by n = 32 + 5.49 sqrt(a) at the latest. ITMAX + 6 sqrt(a) lies above that
// for every a, which leaves a margin for rounding; the worst cases take
// 155, 456, 1348, 3975 and 11609 terms for a = 10^3 .. 10^7 (bound 19973
// there). The continued fraction is slowest at x = a + 1 and needs far fewer
// steps (52, 113, 246, 531, 1147), so the same bound serves it.
//
// What the series leaves out after its last term adds up to about a / n
// times that term, so P comes out low by up to about 0.3 EPS sqrt(a) of
// itself (2.4e-4 at a = 10^7); the fraction is good to about EPS. A value that
// converged within ITMAX terms before still does so, with the same
// operations in the same order; the loop merely may go on.
//
// The bound passes 16 bits from a = 2.8e7 on; the counters are 64-bit. The
// cap only keeps the count a 64-bit number for any a (no matrix that fits in
// memory comes near it); an a that is not a number gets ITMAX.
std::int64_t gamma_term_bound(REAL A) {
  constexpr REAL kMostExtra = 1e12L;
  const REAL extra = 6 * std::sqrt(A);
  if (std::isnan(extra)) return ITMAX;
  return ITMAX + static_cast<std::int64_t>(std::min(extra, kMostExtra));
}

REAL GAMMLN(REAL XX) {
  const REAL X = XX - 1;
  REAL TMP = X + 5.5L;
  TMP = (X + 0.5L) * std::log(TMP) - TMP;
  const REAL SER = 1 + 76.18009173L / (X + 1) - 86.50532033L / (X + 2) + 24.01409822L / (X + 3) -
                   1.231739516L / (X + 4) + 0.00120858003L / (X + 5) - 0.00000536382L / (X + 6);
  return TMP + std::log(2.50662827465L * SER);
}

std::int64_t GSER(REAL A, REAL X, REAL& GAMSER, REAL& GLN, Pause& pause) {
  GLN = GAMMLN(A);
  if (X <= 0) {
    if (X < 0) pause_with(pause, "Pause in Gser - x less than 0");
    GAMSER = 0;
    return 0;
  }
  const std::int64_t bound = gamma_term_bound(A);
  REAL AP = A;
  REAL SUM = 1 / A;
  REAL DEL = SUM;
  std::int64_t terms = 0;
  bool converged = false;
  for (std::int64_t N = 1; N <= bound; ++N) {
    terms = N;
    AP = AP + 1;
    DEL = (DEL * X) / AP;
    SUM = SUM + DEL;
    if (std::fabs(DEL) < std::fabs(SUM) * EPS) {
      converged = true;
      break;
    }
  }
  if (!converged) pause_with(pause, "Pause in Gser - a too large, itmax too small");
  const REAL T = log_prefactor(A, X, GLN);
  GAMSER = T > kSeriesCutoff ? std::exp(T) * SUM : 0;
  return terms;
}

std::int64_t GCF(REAL A, REAL X, REAL& GAMMCF, REAL& GLN, Pause& pause) {
  GLN = GAMMLN(A);
  const std::int64_t bound = gamma_term_bound(A);
  REAL GOLD = 0;
  REAL A0 = 1;
  REAL A1 = X;
  REAL B0 = 0;
  REAL B1 = 1;
  REAL FAC = 1;
  // Stays 0 only if A1 were 0 at every step.
  REAL G = 0;
  std::int64_t steps = 0;
  bool converged = false;
  for (std::int64_t N = 1; N <= bound && !converged; ++N) {
    steps = N;
    const REAL AN = static_cast<REAL>(N);
    const REAL ANA = AN - A;
    A0 = (A1 + A0 * ANA) * FAC;
    B0 = (B1 + B0 * ANA) * FAC;
    const REAL ANF = AN * FAC;
    A1 = X * A0 + ANF * A1;
    B1 = X * B0 + ANF * B1;
    if (A1 != 0) {
      FAC = 1 / A1;
      G = B1 * FAC;
      if (std::fabs((G - GOLD) / G) < EPS) {
        converged = true;
      } else {
        GOLD = G;
      }
    }
  }
  if (!converged) pause_with(pause, "Pause in Gcf - a too large, itmax too small");
  const REAL T = log_prefactor(A, X, GLN);
  GAMMCF = T > kFractionCutoff ? std::exp(T) * G : 0;
  return steps;
}

REAL GAMMQ(REAL A, REAL X, Pause& pause) {
  if (A <= 0) return 1;
  REAL GLN = 0;
  if (X < A + 1) {
    REAL GAMSER = 0;
    GSER(A, X, GAMSER, GLN, pause);
    return 1 - GAMSER;
  }
  REAL GAMMCF = 0;
  GCF(A, X, GAMMCF, GLN, pause);
  return GAMMCF;
}
