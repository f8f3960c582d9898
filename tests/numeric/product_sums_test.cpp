// The product sums keep four elements in registers; every element must still
// be the sum of its terms in increasing k, rounded after each addition. The
// reference below adds one term at a time into memory, element by element,
// as the definition of T and ST reads; the shapes give every row of the
// triangle each remainder of the blocks of four and cross a sweep of
// columns.
#include "numeric/product_sums.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

namespace {

// Values with full 64-bit significands over a wide range of magnitudes, so
// that nearly every addition rounds and another order would show.
MATRIX random_matrix(std::int32_t rows, std::int32_t cols, unsigned seed, bool positive) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> mantissa(positive ? 0.5 : -1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-20, 20);
  MATRIX a(rows + 1, cols + 1);
  for (std::int32_t i = 1; i <= rows; ++i)
    for (std::int32_t j = 1; j <= cols; ++j) {
      const REAL low = static_cast<REAL>(mantissa(rng)) * 0x1p-40L;
      a[i][j] = std::ldexp(static_cast<REAL>(mantissa(rng)) + low, exponent(rng));
    }
  return a;
}

// T and ST of the columns, one term at a time, in increasing k.
void reference_column_sums(const MATRIX& A, const MATRIX& SD, std::int32_t N, std::int32_t M, MATRIX& T,
                           MATRIX& ST) {
  for (std::int32_t i = 1; i <= M; ++i)
    for (std::int32_t j = i; j <= M; ++j)
      for (std::int32_t k = 1; k <= N; ++k) {
        T[i][j] = T[i][j] + A[k][i] * A[k][j];
        REAL term = A[k][i] * A[k][i] * SD[k][j] + A[k][j] * A[k][j] * SD[k][i];
        if (i == j) term = term * 2;
        ST[i][j] = ST[i][j] + term;
      }
}

void reference_row_sums(const MATRIX& A, const MATRIX& SD, std::int32_t N, std::int32_t M, MATRIX& T, MATRIX& ST) {
  for (std::int32_t i = 1; i <= N; ++i)
    for (std::int32_t j = i; j <= N; ++j) {
      T[i][j] = 0;
      ST[i][j] = 0;
      for (std::int32_t k = 1; k <= M; ++k) {
        T[i][j] = T[i][j] + A[i][k] * A[j][k];
        REAL term = A[i][k] * A[i][k] * SD[j][k] + A[j][k] * A[j][k] * SD[i][k];
        if (i == j) term = term * 2;
        ST[i][j] = ST[i][j] + term;
      }
    }
}

// Bit for bit over the upper triangle; the lower one must stay untouched (0).
void expect_same_triangle(const MATRIX& got, const MATRIX& want, std::int32_t order, const char* what) {
  for (std::int32_t i = 1; i <= order; ++i)
    for (std::int32_t j = 1; j <= order; ++j) {
      const REAL w = j >= i ? want[i][j] : REAL(0);
      ASSERT_EQ(got[i][j], w) << what << " [" << i << "][" << j << "] of order " << order;
    }
}

TEST(ProductSums, ColumnSumsAreThoseOfTheTermByTermLoop) {
  // Orders 1..9 give each row every remainder of four; 131 and 260 cross one
  // and two sweeps of columns. The rows are added in uneven blocks, as the
  // caller does between its overflow checks, and the rows of T are split
  // among callers as the threads split them.
  struct Shape {
    std::int32_t N, M;
  };
  for (const Shape shape : {Shape{1, 1}, Shape{3, 2}, Shape{7, 3}, Shape{5, 4}, Shape{9, 5}, Shape{2, 6},
                            Shape{11, 7}, Shape{13, 8}, Shape{6, 9}, Shape{70, 131}, Shape{17, 260}}) {
    const std::int32_t N = shape.N, M = shape.M;
    const MATRIX A = random_matrix(N, M, static_cast<unsigned>(N * 1000 + M), false);
    const MATRIX SD = random_matrix(N, M, static_cast<unsigned>(M * 1000 + N), true);
    MATRIX wantT(M + 1, M + 1), wantST(M + 1, M + 1);
    reference_column_sums(A, SD, N, M, wantT, wantST);
    MATRIX T(M + 1, M + 1), ST(M + 1, M + 1);
    for (std::int32_t k0 = 1; k0 <= N; k0 += 5) {
      const std::int32_t k1 = std::min(N, k0 + 4);
      const std::int32_t middle = (M + 1) / 2;
      add_column_products(A, k0, k1, 1, middle, M, T);
      add_column_products(A, k0, k1, middle + 1, M, M, T);
      add_column_product_variances(A, SD, k0, k1, 1, middle, M, ST);
      add_column_product_variances(A, SD, k0, k1, middle + 1, M, M, ST);
    }
    expect_same_triangle(T, wantT, M, "T");
    expect_same_triangle(ST, wantST, M, "ST");
  }
}

TEST(ProductSums, RowSumsAreThoseOfTheTermByTermLoop) {
  for (std::int32_t N = 1; N <= 9; ++N) {
    const std::int32_t M = 3 * N + 1;
    const MATRIX A = random_matrix(N, M, static_cast<unsigned>(N), false);
    const MATRIX SD = random_matrix(N, M, static_cast<unsigned>(N + 100), true);
    MATRIX wantT(N + 1, N + 1), wantST(N + 1, N + 1);
    reference_row_sums(A, SD, N, M, wantT, wantST);
    MATRIX T(N + 1, N + 1), ST(N + 1, N + 1);
    const std::int32_t middle = N / 2;
    set_row_products(A, 1, middle, N, M, T);
    set_row_products(A, middle + 1, N, N, M, T);
    set_row_product_variances(A, SD, 1, middle, N, M, ST);
    set_row_product_variances(A, SD, middle + 1, N, N, M, ST);
    expect_same_triangle(T, wantT, N, "T");
    expect_same_triangle(ST, wantST, N, "ST");
  }
}

// Worked by hand: with a 64-bit significand 2^64 + 1 rounds to 2^64, so the
// terms 1, 2^64, -2^64 of a column product sum to 0 in increasing k, where
// the large terms first would leave the 1. Each of the four sums of a
// block, and the one after it, gets this column against its own.
TEST(ProductSums, SumsRoundAfterEveryTermInIncreasingOrder) {
  const REAL big = 0x1p32L;
  MATRIX A(4, 7);
  for (std::int32_t j = 1; j <= 6; ++j) {
    A[1][j] = 1;
    A[2][j] = big;
    A[3][j] = j == 1 ? -big : big;
  }
  MATRIX T(7, 7);
  add_column_products(A, 1, 3, 1, 1, 6, T);
  EXPECT_EQ(T[1][1], 0x1p65L);  // 1 + 2^64 + 2^64: the 1 is lost
  for (std::int32_t j = 2; j <= 6; ++j) EXPECT_EQ(T[1][j], 0) << j;

  // The same sums over rows: rows 1 and 2 of B are the columns above.
  MATRIX B(7, 4);
  for (std::int32_t i = 1; i <= 6; ++i)
    for (std::int32_t k = 1; k <= 3; ++k) B[i][k] = A[k][i];
  MATRIX U(7, 7);
  set_row_products(B, 1, 1, 6, 3, U);
  for (std::int32_t j = 2; j <= 6; ++j) EXPECT_EQ(U[1][j], 0) << j;
}

// A call over no rows of A leaves every sum as it was.
TEST(ProductSums, NoRowsAddNothing) {
  const MATRIX A = random_matrix(3, 5, 7, false);
  MATRIX T(6, 6);
  T[1][1] = 3;
  T[2][5] = -1;
  add_column_products(A, 4, 3, 1, 5, 5, T);
  EXPECT_EQ(T[1][1], 3);
  EXPECT_EQ(T[2][5], -1);
  EXPECT_EQ(T[1][2], 0);
}

}  // namespace
