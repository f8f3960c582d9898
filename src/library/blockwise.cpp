#include "library/blockwise.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "analysis/analysis_results.h"
#include "analysis/qor.h"
#include "common/analysis_observer.h"
#include "common/console.h"
#include "common/element_errors.h"
#include "common/run_error.h"
#include "common/analysis_workspace.h"
#include "common/run_settings.h"
#include "common/workers.h"
#include "library/library_parts.h"
#include "outputs/evidence_picture.h"
#include "outputs/outputs_after_run.h"
#include "outputs/results_file.h"
#include "verdict/rank_verdict.h"

namespace qor {
namespace {

REAL fraction(const Settings& s) { return s.relative_error_percent / 100; }
// Errors given once for all, or element by element with each block.
bool errors_of(const Settings& s) {
  return errors_known(s.absolute_error, s.relative_error_percent) || detail::has_error_tables(s);
}

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
  DataTable own;
  own.N = b.rows;
  own.M = b.columns;
  detail::take_block_errors(s, own);
  element_variances(A, SD, b.rows, b.columns, errors_as_given(s.absolute_error, fraction(s), own), workers);
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
  detail::check_element_errors(of_block, block.rows, block.columns);
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
  detail::check_element_errors(settings, block.rows, block.columns);
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

// The eigenvalue analysis of the total sums: the whole matrix's analysis
// but for its data, which stay in their blocks.
struct Blockwise::State {
  State(const Settings& x, const BlockSums& sums)
      : console(log),
        workers(x.threads),
        observer(console, true),
        settings(x),
        given(detail::settings_for(x, false, false, true)),
        total(sums) {
    given.ITRN = true;
    const std::int32_t M = total.columns, order = M + 1;
    table.N0 = table.N = static_cast<std::int32_t>(total.rows);
    table.M0 = table.M = M;
    table.RO = MATRIX(order, 2);
    table.CO = MATRIX(2, order);
    // Errors element by element stay with the blocks; the sums tell they were given.
    plan = plan_run(given, M, M, total.errors && !errors_known(given.MER, given.MERPR));
    work.MIN = M;
    work.T = MATRIX(order, order);
    work.CC = MATRIX(order, order);
    work.DE = MATRIX(order, 2);
    work.EE = MATRIX(order, 2);
    work.FE = MATRIX(order, 2);
    unflat(total.product, work.T, M);
    if (total.errors) {
      work.ST = MATRIX(order, order);
      unflat(total.variances, work.ST, M);
    }
  }
  AnalysisContext eigenvalues_of_sums() {
    return AnalysisContext{analysis_, observer, true, true, false, plan.MER, plan.MERPR, plan.NU, total.errors};
  }

  std::vector<std::string> log;
  Console console;
  Workers workers;
  SilentObserver observer;
  Settings settings;
  RunSettings given;
  BlockSums total;
  DataTable table;
  RunPlan plan;
  AnalysisWorkspace work;
  AnalysisRun analysis_{table, plan, work, workers};
};

namespace {

NoiseEdge noise_of(const BlockSums& t) {
  return t.errors ? noise_edge_of_sums(t.error_sums, t.rows, t.columns) : NoiseEdge{};
}

}  // namespace

Blockwise::Blockwise(const BlockSums& total, const Settings& settings) {
  if (total.rows < total.columns || total.columns < 1)
    throw RunError(kSettingOutOfRange,
                   "the blocks hold " + std::to_string(total.rows) + " rows of " + std::to_string(total.columns) +
                       " columns: the analysis by blocks of rows needs at least as many rows as columns "
                       "(give a wide matrix transposed).",
                   RunError::Kind::data);
  if (total.rows > std::numeric_limits<std::int32_t>::max())
    throw RunError(kSettingOutOfRange, "more than 2147483647 rows.", RunError::Kind::data);
  detail::check_settings(settings, total.rows, total.columns);
  state_ = std::make_unique<State>(settings, total);
  State& st = *state_;
  AnalysisContext q = st.eigenvalues_of_sums();
  decompose_for_eigenvalues(q);
  eigenvectors_ = flat(st.work.T, total.columns);
  wanted_ = total.columns;
}

Blockwise::~Blockwise() = default;

Run Blockwise::finish(const BlockTests& totals, Control& control) {
  State& st = *state_;
  st.workers.stop_when(&control.stop);
  control.stage = kAnalysing;
  // The decomposition the constructor made is examined with the blocks' tests.
  st.work.given_tests = &totals.tests;
  AnalysisContext q = st.eigenvalues_of_sums();
  examine_eigenvalues(q);
  Run run;
  run.results = collect_analysis_results(st.analysis_);
  run.results.noise = noise_of(st.total);
  RunOutcome outcome;
  if (st.settings.verdict) {
    control.stage = kJudging;
    RankSums sums;
    sums.N = st.table.N;
    sums.M = st.table.M;
    sums.ER = st.settings.absolute_error;
    sums.ERPR = fraction(st.settings);
    sums.errors_by_element = st.plan.element_errors;
    sums.eigenvalues.assign(static_cast<std::size_t>(st.table.M) + 1, 0);
    for (std::int32_t i = 1; i <= st.table.M; ++i) sums.eigenvalues[static_cast<std::size_t>(i)] = std::max(st.work.DE[i][1], REAL(0));
    sums.variances = run.results.noise;
    sums.tests = totals.tests;
    for (const ResidualTest& t : totals.tests) sums.squares.push_back(t.G);
    run.verdict = judge_rank_from_sums(sums, st.console);
    run.verdict_lines = detail::verdict_block(*run.verdict);
  }
  control.stage = kWriting;
  outcome.results = run.results;
  outcome.verdict = run.verdict;
  run.results_json = results_text(st.given, progress_of(st.plan, st.table), std::string(), outcome);
  run.picture = evidence_picture(st.given, run.results, run.verdict ? &*run.verdict : nullptr);
  run.warnings = st.log;
  control.stage = kDone;
  return run;
}

}  // namespace qor
