#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/eigen_analysis.h"
#include "analysis/noise_edge.h"
#include "library/library.h"

// The product-matrix analysis of a matrix too tall to hold, by blocks of
// rows: its work is sums over rows, which split into one pass per block with
// an M x M core between them.
//
//   pass 1  each block: block_sums (the product of its columns and the sums
//           behind its variances; the sums of its element variances)
//           add_sums of all blocks in block order
//   core    Blockwise: the eigen-decomposition of the total, once
//   pass 2  each block: block_tests against its eigenvectors (the residual
//           tests after every component count at once)
//           add_tests of all blocks in block order
//   finish  Blockwise::finish: the eigenvalue analysis with those tests,
//           the verdict from the same sums, the results file and the picture
//
// Every sum of a block is formed as the program forms it over the whole
// matrix, each element in increasing row order; blocks are then added
// element by element. One block gives the program's numbers exactly; with
// several, each sum is rounded once more per block (see the bound in the
// README), and the same blocks in the same order give the same bits however
// many workers form them.
namespace qor {

struct BlockSums {
  std::int64_t rows = 0;
  std::int32_t columns = 0;
  bool errors = false;
  std::vector<REAL> product, variances;  // M x M, row after row (variances with errors)
  VarianceSums error_sums;               // of the element variances (with errors)
};

// Pass 1 of one block (rows x M; its values must be finite: 106 names the
// block's row, counted from first_row).
BlockSums block_sums(const Table& block, const Settings& settings, std::int64_t first_row);
// The sums of two successive blocks (a, then b).
BlockSums add_sums(const BlockSums& a, const BlockSums& b);

// Pass 2 of one block: the residual tests after r = 0..U components of the
// eigenvectors (M x M, row after row, one eigenvector per column), with the
// element variances of the error; without the error the sums of squared
// residuals instead.
struct BlockTests {
  std::vector<ResidualTest> tests;  // [r]
};
BlockTests block_tests(const Table& block, const Settings& settings, const std::vector<REAL>& eigenvectors,
                       std::int32_t U, std::int64_t first_row);
BlockTests add_tests(const BlockTests& a, const BlockTests& b);

// The client's side, between the passes and after them.
class Blockwise {
 public:
  Blockwise(const BlockSums& total, const Settings& settings);
  ~Blockwise();
  // The eigenvectors of the total product, sorted like the eigenvalues.
  const std::vector<REAL>& eigenvectors() const { return eigenvectors_; }
  // The component counts pass 2 must test: 0..U.
  std::int32_t tests_wanted() const { return wanted_; }
  // The run's results from pass 2's totals.
  Run finish(const BlockTests& totals, Control& control);

 private:
  struct State;
  std::unique_ptr<State> state_;
  std::vector<REAL> eigenvectors_;
  std::int32_t wanted_ = 0;
};

}  // namespace qor
