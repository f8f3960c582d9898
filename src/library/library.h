#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/analysis_results.h"
#include "common/real.h"
#include "verdict/rank_verdict.h"

// The library: the program's analyses called from another program (the
// Python module), with data from a file or from memory, settings with
// readable names and results as values. Nothing is written to the console
// or waits for a key: where the program pauses, the run keeps a warning.
// Every refusal and every stop is a RunError with the run-time error number
// and the explanation the program would print. Each call builds a run of its
// own, so that two calls in two threads share nothing.
namespace qor {

// Row or column labels of a table: the original numbers in its data file
// (empty: 1, 2, ...), and its titles, as numbers or as texts (both empty:
// none).
struct Labels {
  std::vector<std::int64_t> numbers;
  std::vector<REAL> titles;
  std::vector<std::string> texts;
  bool titled() const { return !titles.empty() || !texts.empty(); }
};

// How the values of a caller's memory are stored.
enum class ValueType { real, float64, float32 };

// A matrix of values, rows x columns: its own, row after row, or a view of
// the caller's memory (any strides, in bytes), read element by element into
// the run, so that the run holds the one copy it works on.
struct Table {
  std::int32_t rows = 0, columns = 0;
  std::vector<REAL> values;
  const void* view = nullptr;
  ValueType view_type = ValueType::real;
  std::ptrdiff_t row_stride = 0, column_stride = 0;
  Labels row_labels, column_labels;

  // Element (i, j), counted from 0.
  REAL at(std::int32_t i, std::int32_t j) const {
    if (view == nullptr) return values[static_cast<std::size_t>(i) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(j)];
    const char* p = static_cast<const char*>(view) + i * row_stride + j * column_stride;
    switch (view_type) {
      case ValueType::float64: return *reinterpret_cast<const double*>(p);
      case ValueType::float32: return *reinterpret_cast<const float*>(p);
      case ValueType::real: break;
    }
    return *reinterpret_cast<const REAL*>(p);
  }
};

// How a data file is read: every option of the program's loader.
struct LoadOptions {
  bool row_titles = false, column_titles = false;
  char separator = 0;  // ',', ';' or '\t'; 0: blanks
  bool decimal_comma = false;
  std::string rows_left_out = "[]", columns_left_out = "[]";  // selection lists, e.g. "[2,5..7]"
};

Table load_table(const std::string& path, const LoadOptions& options);

// What an analysis is asked for.
struct Settings {
  REAL absolute_error = 0;          // the standard deviation of every element
  REAL relative_error_percent = 0;  // in per cent of each element's value
  // The same element by element, tables of the data's shape (0 x 0: none),
  // each in place of its single value above; the reference row and column
  // leave theirs out. A value stored as float64 or float32 counts as its
  // shortest decimal text, as the Python module passes a single error, so
  // a table of one repeated error gives the results of that error given once.
  Table absolute_errors, relative_errors_percent;
  std::int32_t steps = -1;          // elimination steps or eigenvalues; -1: all
  bool statistics = false;          // remainder statistics at every elimination step
  bool product_matrix = true;       // the eigenvalue mode's matrix: the product with the transpose, or the matrix itself
  std::int32_t reference_row = 0, reference_column = 0;  // subtracted from the others and removed; 0: none
  bool verdict = false;             // the rank verdict too
  int threads = 1;
};

// The caller's hold on a running call: a stop it may ask for from another
// thread (the run ends with kStoppedByCaller at its next loop), and the
// stage the run has reached, for a progress display.
struct Control {
  std::atomic<bool> stop{false};
  std::atomic<int> stage{0};
};

// The stages a call passes, in order (Control::stage).
enum Stage : int { kPreparing = 1, kAnalysing, kJudging, kWriting, kDone };

// Remainder statistics before step I ([I - 1]): mean, standard deviation,
// normalised skewness and kurtosis of the signed, then the absolute values.
struct StepStatistics {
  REAL signed_values[4] = {0, 0, 0, 0};
  REAL absolute_values[4] = {0, 0, 0, 0};
};

// Everything a call returns.
struct Run {
  AnalysisResults results;
  std::optional<RankVerdict> verdict;
  std::vector<StepStatistics> statistics;  // with Settings::statistics, in elimination
  std::vector<std::string> warnings;       // the program's pauses and warnings, in order
  std::string results_json;                // the results file's text
  std::string picture;                     // the SVG picture; empty when there is nothing to draw
  std::vector<std::string> verdict_lines;  // the verdict block as the report prints it
  // The eigenvalue mode: the eigenvectors of the examined eigenvalues, as
  // the columns of an order x components matrix (row after row; order is
  // the decomposed matrix's), and the data projected on them, count x
  // components: the rows (A v) where the matrix decomposed is over the
  // columns (N >= M, or the matrix itself), else the columns (A' v).
  std::int32_t order = 0, components = 0, projected = 0;
  std::vector<REAL> eigenvectors, projections;
};

// Gaussian elimination with complete pivoting (the error propagated when given).
Run eliminate(const Table& table, const Settings& settings, Control& control);
// The eigenvalue analysis with its residual tests.
Run eigen(const Table& table, const Settings& settings, Control& control);
// The rank verdict alone (no elimination or eigenvalue analysis).
Run rank(const Table& table, const Settings& settings, Control& control);

}  // namespace qor
