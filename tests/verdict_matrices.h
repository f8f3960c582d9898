#pragma once

// Matrices the rank verdict's tests share, and their decomposition as the
// verdict sees it.

#include <algorithm>
#include <cmath>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/qor.h"
#include "common/matrix.h"
#include "common/pause.h"
#include "common/workers.h"
#include "numeric/eigen.h"
#include "verdict/signflip.h"

namespace verdict_test {

struct NoPause final : Pause {
  void show_lines_and_wait(std::span<const std::string_view>) override {}
};

// A(i, j) = i j / 10 + ((7 i + 3 j) mod 11 - 5) / 50: a rank-one signal and a
// small pattern of even level.
inline MATRIX small_matrix(int N, int M) {
  MATRIX A(N + 1, M + 1);
  for (int i = 1; i <= N; ++i)
    for (int j = 1; j <= M; ++j) A[i][j] = REAL(i * j) / 10 + REAL((i * 7 + j * 3) % 11 - 5) / 50;
  return A;
}

// B(i, j) = 2 sin(0.3 i + 0.2 j) + cos(0.5 i j / M) (i mod 4) / 3 plus a
// pseudo-noise of level 0.01, four times that in every third row.
inline MATRIX uneven_matrix(int N, int M) {
  MATRIX B(N + 1, M + 1);
  for (int i = 1; i <= N; ++i)
    for (int j = 1; j <= M; ++j) {
      const REAL signal = 2 * std::sin(0.3L * i + 0.2L * j) + std::cos(0.5L * i * j / M) * (i % 4) / 3;
      const REAL level = 0.01L * (i % 3 == 0 ? 4 : 1);
      B[i][j] = signal + level * (REAL((i * 37 + j * 91) % 101) / 50.5L - 1);
    }
  return B;
}

// The verdict's view of a matrix: the product matrix's eigenvectors and the
// singular values, decreasing.
struct Decomposed {
  MATRIX A, T;
  std::vector<REAL> singular;
  int N, M;
  Decomposed(MATRIX data, int rows, int cols, Workers& workers) : A(std::move(data)), N(rows), M(cols) {
    const int p = std::min(N, M);
    T = MATRIX(p + 1, p + 1);
    product_matrix(ProductInputs{A, nullptr, N, M}, T, nullptr, workers);
    MATRIX D(p + 1, 2), E(p + 1, 2), RO(p + 1, 2);
    NoPause pause;
    EXPECT_TRUE(TRED2(T, D, E, p, workers));
    EXPECT_TRUE(TQLI(T, D, E, p, pause, workers).finite);
    EIGENSORT(T, E, RO, D, p, false);
    singular.assign(static_cast<std::size_t>(p) + 1, 0);
    for (int i = 1; i <= p; ++i) singular[i] = std::sqrt(std::max(D[i][1], REAL(0)));
  }
  FlipData data() const { return FlipData{A, T, singular, N, M}; }
};

}  // namespace verdict_test
