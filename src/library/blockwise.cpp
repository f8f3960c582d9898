#include "library/blockwise.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "analysis/analysis_results.h"
#include "analysis/qor.h"
#include "common/analysis_observer.h"
#include "common/console.h"
#include "common/run_error.h"
#include "common/run_state.h"
#include "common/workers.h"
#include "library/library_parts.h"
#include "outputs/evidence_picture.h"
#include "outputs/outputs_after_run.h"
#include "outputs/results_file.h"
#include "verdict/rank_verdict.h"

namespace qor {
namespace {

REAL fraction(const Settings& s) { return s.relative_error_percent / 100; }
bool errors_of(const Settings& s) { return errors_known(s.absolute_error, s.relative_error_percent); }

MATRIX block_matrix(const Table& b) {
  MATRIX A(b.rows + 1, b.columns + 1);
  for (std::int32_t i = 1; i <= b.rows; ++i)
    for (std::int32_t j = 1; j <= b.columns; ++j) A[i][j] = b.at(i - 1, j - 1);
  return A;
}

// The element variances of a block as the analysis forms them; unit ones
// without an error, whose chi-square sums are then the sums of squares.
MATRIX block_variances(const MATRIX& A, const Table& b, const Settings& s, Workers& workers) {
  MATRIX SD(b.rows + 1, b.columns + 1);
  if (!errors_of(s)) {
    for (std::int32_t i = 1; i <= b.rows; ++i)
      for (std::int32_t j = 1; j <= b.columns; ++j) SD[i][j] = 1;
    return SD;
  }
  element_variances(A, SD, b.rows, b.columns, s.absolute_error, fraction(s), workers);
  return SD;
}

void check_block(const Table& b, std::int64_t first_row) {
  if (b.rows < 1)
    throw RunError(kNothingToAnalyse, "a block of rows from row " + std::to_string(first_row) + " holds no row.",
                   RunError::Kind::data);
  try {
    detail::check_table(b, first_row);
  } catch (const RunError& e) {
    throw RunError(e.number(), std::string(e.what()) + " (in the block of rows " + std::to_string(first_row) +
                                   " to " + std::to_string(first_row + b.rows - 1) + ")",
                   e.kind());
  }
}

std::vector<REAL> flat(const MATRIX& m, std::int32_t order) {
  std::vector<REAL> v;
  v.reserve(static_cast<std::size_t>(order) * static_cast<std::size_t>(order));
  for (std::int32_t i = 1; i <= order; ++i)
    for (std::int32_t j = 1; j <= order; ++j) v.push_back(m[i][j]);
  return v;
}

void unflat(const std::vector<REAL>& v, MATRIX& m, std::int32_t order) {
  for (std::int32_t i = 1; i <= order; ++i)
    for (std::int32_t j = 1; j <= order; ++j)
      m[i][j] = v[static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(order) + static_cast<std::size_t>(j - 1)];
}

std::vector<REAL> added(const std::vector<REAL>& a, const std::vector<REAL>& b) {
  std::vector<REAL> sum(a.size());
  for (std::size_t k = 0; k < a.size(); ++k) sum[k] = a[k] + b[k];
  return sum;
}

}  // namespace

BlockSums block_sums(const Table& block, const Settings& settings, std::int64_t first_row) {
  check_block(block, first_row);
  // The steps and the references belong to the whole matrix: the client checks them.
  Settings of_block = settings;
  of_block.steps = -1;
  of_block.reference_row = of_block.reference_column = 0;
  detail::check_settings(of_block, block.rows, block.columns);
  Workers workers(settings.threads);
  const MATRIX A = block_matrix(block);
  BlockSums b;
  b.rows = block.rows;
  b.columns = block.columns;
  b.errors = errors_of(settings);
  const std::int32_t M = block.columns;
  MATRIX T(M + 1, M + 1);
  if (!b.errors) {
    product_of_rows(ProductInputs{A, nullptr, block.rows, M}, T, nullptr, workers);
    b.product = flat(T, M);
    return b;
  }
  const MATRIX SD = block_variances(A, block, settings, workers);
  MATRIX ST(M + 1, M + 1);
  product_of_rows(ProductInputs{A, &SD, block.rows, M}, T, &ST, workers);
  b.product = flat(T, M);
  b.variances = flat(ST, M);
  b.error_sums = variance_sums(SD, block.rows, M);
  return b;
}

BlockSums add_sums(const BlockSums& a, const BlockSums& b) {
  if (a.columns != b.columns)
    throw RunError(kSettingOutOfRange,
                   "blocks of " + std::to_string(a.columns) + " and " + std::to_string(b.columns) +
                       " columns: every block of rows must hold all the columns.",
                   RunError::Kind::data);
  BlockSums s = a;
  s.rows = a.rows + b.rows;
  s.product = added(a.product, b.product);
  if (!a.errors) return s;
  s.variances = added(a.variances, b.variances);
  s.error_sums = added_variance_sums(a.error_sums, b.error_sums);
  return s;
}

BlockTests block_tests(const Table& block, const Settings& settings, const std::vector<REAL>& eigenvectors,
                       std::int32_t U, std::int64_t first_row) {
  check_block(block, first_row);
  Workers workers(settings.threads);
  const std::int32_t M = block.columns;
  if (eigenvectors.size() != static_cast<std::size_t>(M) * static_cast<std::size_t>(M))
    throw RunError(kSettingOutOfRange, "the eigenvectors do not fit the block's columns.", RunError::Kind::data);
  const MATRIX A = block_matrix(block);
  const MATRIX SD = block_variances(A, block, settings, workers);
  MATRIX T(M + 1, M + 1);
  unflat(eigenvectors, T, M);
  ResidualTester tester(ResidualInputs{A, SD, T, block.rows, M, M, workers}, U);
  BlockTests t;
  for (std::int32_t r = 0; r <= U; ++r) t.tests.push_back(tester.test(r));
  return t;
}

BlockTests add_tests(const BlockTests& a, const BlockTests& b) {
  BlockTests s = a;
  for (std::size_t r = 0; r < s.tests.size() && r < b.tests.size(); ++r) {
    s.tests[r].G = a.tests[r].G + b.tests[r].G;
    for (int n = 1; n <= 3; ++n) s.tests[r].NR[n] = a.tests[r].NR[n] + b.tests[r].NR[n];
  }
  return s;
}

struct Blockwise::State {
  explicit State(const Settings& x) : console(log), s(console, x.threads), observer(console, true) {}
  std::vector<std::string> log;
  Console console;
  RunState s;
  SilentObserver observer;
  Settings settings;
  BlockSums total;
};

namespace {

// The run state of the total sums: the run of the whole matrix's
// eigenvalue analysis but for its data, which stay in their blocks.
void set_up_run(RunState& s, const BlockSums& total) {
  const std::int32_t M = total.columns, order = M + 1;
  s.N0 = s.N = static_cast<std::int32_t>(total.rows);
  s.M0 = s.M = M;
  s.MIN = M;
  s.SIZE = 10;
  if (s.NU < 1 || s.NU > M) s.NU = M;
  s.T = MATRIX(order, order);
  s.CC = MATRIX(order, order);
  s.DE = MATRIX(order, 2);
  s.EE = MATRIX(order, 2);
  s.FE = MATRIX(order, 2);
  s.RO = MATRIX(order, 2);
  s.CO = MATRIX(2, order);
  unflat(total.product, s.T, M);
  if (total.errors) {
    s.ST = MATRIX(order, order);
    unflat(total.variances, s.ST, M);
  }
}

AnalysisContext eigenvalues_of_sums(RunState& s, AnalysisObserver& observer) {
  return AnalysisContext{s, observer, true, true, false, s.MER, s.MERPR, s.NU, errors_known(s.MER, s.MERPR)};
}

NoiseEdge noise_of(const BlockSums& t) {
  return t.errors ? noise_edge_of_sums(t.error_sums, t.rows, t.columns) : NoiseEdge{};
}

}  // namespace

Blockwise::Blockwise(const BlockSums& total, const Settings& settings) : state_(std::make_unique<State>(settings)) {
  if (total.rows < total.columns || total.columns < 1)
    throw RunError(kSettingOutOfRange,
                   "the blocks hold " + std::to_string(total.rows) + " rows of " + std::to_string(total.columns) +
                       " columns: the analysis by blocks of rows needs at least as many rows as columns "
                       "(give a wide matrix transposed).",
                   RunError::Kind::data);
  if (total.rows > std::numeric_limits<std::int32_t>::max())
    throw RunError(kSettingOutOfRange, "more than 2147483647 rows.", RunError::Kind::data);
  detail::check_settings(settings, total.rows, total.columns);
  State& st = *state_;
  st.settings = settings;
  st.total = total;
  st.s.settings = detail::settings_for(settings, false, false, true);
  st.s.settings.ITRN = true;
  take_run_copies(st.s);
  set_up_run(st.s, total);
  AnalysisContext q = eigenvalues_of_sums(st.s, st.observer);
  decompose_for_eigenvalues(q);
  eigenvectors_ = flat(st.s.T, total.columns);
  wanted_ = total.columns;
}

Blockwise::~Blockwise() = default;

Run Blockwise::finish(const BlockTests& totals, Control& control) {
  State& st = *state_;
  RunState& s = st.s;
  s.workers.stop_when(&control.stop);
  control.stage = kAnalysing;
  // The decomposition the constructor made is examined with the blocks' tests.
  s.given_tests = &totals.tests;
  AnalysisContext q = eigenvalues_of_sums(s, st.observer);
  examine_eigenvalues(q);
  Run run;
  run.results = collect_analysis_results(s);
  run.results.noise = noise_of(st.total);
  RunOutcome outcome;
  if (st.settings.verdict) {
    control.stage = kJudging;
    RankSums sums;
    sums.N = s.N;
    sums.M = s.M;
    sums.ER = st.settings.absolute_error;
    sums.ERPR = fraction(st.settings);
    sums.eigenvalues.assign(static_cast<std::size_t>(s.M) + 1, 0);
    for (std::int32_t i = 1; i <= s.M; ++i) sums.eigenvalues[static_cast<std::size_t>(i)] = std::max(s.DE[i][1], REAL(0));
    sums.variances = run.results.noise;
    sums.tests = totals.tests;
    for (const ResidualTest& t : totals.tests) sums.squares.push_back(t.G);
    run.verdict = judge_rank_from_sums(sums, st.console);
    run.verdict_lines = detail::verdict_block(*run.verdict);
  }
  control.stage = kWriting;
  outcome.results = run.results;
  outcome.verdict = run.verdict;
  run.results_json = results_text(s.settings, progress_of(s), std::string(), outcome);
  run.picture = evidence_picture(s.settings, run.results, run.verdict ? &*run.verdict : nullptr);
  run.warnings = st.log;
  control.stage = kDone;
  return run;
}

}  // namespace qor
