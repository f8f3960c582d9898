#include "numeric/gamma.h"

#include <cmath>
#include <cstdint>

#include "common/pause.h"

namespace {

constexpr std::int16_t ITMAX = 1000;
constexpr REAL EPS = 3e-7L;

// Below these exponents the prefactor exp(T) counts as zero; the series and
// the continued fraction have different cut-offs.
constexpr REAL kSeriesCutoff = -15;
constexpr REAL kFractionCutoff = -68;

void pause_with(Pause& pause, const char* line) { pause.show_and_wait({line}); }

// a ln x - ln Gamma(a) - x, in this order.
REAL log_prefactor(REAL A, REAL X, REAL GLN) { return A * std::log(X) - GLN - X; }

}  // namespace

REAL GAMMLN(REAL XX) {
  const REAL X = XX - 1;
  REAL TMP = X + 5.5L;
  TMP = (X + 0.5L) * std::log(TMP) - TMP;
  const REAL SER = 1 + 76.18009173L / (X + 1) - 86.50532033L / (X + 2) + 24.01409822L / (X + 3) -
                   1.231739516L / (X + 4) + 0.00120858003L / (X + 5) - 0.00000536382L / (X + 6);
  return TMP + std::log(2.50662827465L * SER);
}

void GSER(REAL A, REAL X, REAL& GAMSER, REAL& GLN, Pause& pause) {
  GLN = GAMMLN(A);
  if (X <= 0) {
    if (X < 0) pause_with(pause, "Pause in Gser - x less than 0");
    GAMSER = 0;
    return;
  }
  REAL AP = A;
  REAL SUM = 1 / A;
  REAL DEL = SUM;
  bool converged = false;
  for (std::int16_t N = 1; N <= ITMAX; ++N) {
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
}

void GCF(REAL A, REAL X, REAL& GAMMCF, REAL& GLN, Pause& pause) {
  GLN = GAMMLN(A);
  REAL GOLD = 0;
  REAL A0 = 1;
  REAL A1 = X;
  REAL B0 = 0;
  REAL B1 = 1;
  REAL FAC = 1;
  // Stays 0 only if A1 were 0 at every step.
  REAL G = 0;
  bool converged = false;
  for (std::int16_t N = 1; N <= ITMAX && !converged; ++N) {
    const REAL AN = N;
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
