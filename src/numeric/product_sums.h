#pragma once

#include <cstdint>

#include "common/matrix.h"
#include "common/real.h"

// The inner loops of the product of a matrix with its transpose, T, and of
// the variances of its elements, ST: plain arithmetic on rows of the
// caller's matrices (indices from 1), no threads and no checks.
//
// Every element is formed by exactly the operations of the plain loop, in
// its order: t := t + a_ki * a_kj for k in increasing order (and st := st +
// term, the term's operations as written below). Only the order in which the
// elements are worked on differs: four neighbouring elements of a row stay
// in registers over all the k of a call, where the plain loop loads and
// stores each of them for every k. On x87 an 80-bit store costs more than
// the multiply-add it keeps; the values are bit for bit the plain loop's.

// Products of the columns, over rows k0..k1 of A, added into rows
// first..last of T (elements j = i..M of row i):
//   T[i][j] := T[i][j] + A[k][i] * A[k][j]   for k = k0..k1.
void add_column_products(const MATRIX& A, std::int32_t k0, std::int32_t k1, std::int32_t first, std::int32_t last,
                         std::int32_t M, MATRIX& T);

// Their variances from the element variances SD, added alike:
//   term := A[k][i] * A[k][i] * SD[k][j] + A[k][j] * A[k][j] * SD[k][i],
//   term := term * 2 when i = j,   ST[i][j] := ST[i][j] + term.
void add_column_product_variances(const MATRIX& A, const MATRIX& SD, std::int32_t k0, std::int32_t k1,
                                  std::int32_t first, std::int32_t last, std::int32_t M, MATRIX& ST);

// Products of the rows, over all M columns, for rows first..last of T
// (elements j = i..N of row i), each summed from 0:
//   T[i][j] := sum over k = 1..M of A[i][k] * A[j][k].
void set_row_products(const MATRIX& A, std::int32_t first, std::int32_t last, std::int32_t N, std::int32_t M,
                      MATRIX& T);

// Their variances, each summed from 0 over k = 1..M:
//   term := A[i][k] * A[i][k] * SD[j][k] + A[j][k] * A[j][k] * SD[i][k],
//   doubled when i = j.
void set_row_product_variances(const MATRIX& A, const MATRIX& SD, std::int32_t first, std::int32_t last,
                               std::int32_t N, std::int32_t M, MATRIX& ST);
