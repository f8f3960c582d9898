#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/noise_edge.h"
#include "common/real.h"
#include "common/analysis_workspace.h"

// What the analysis found, as plain values. The outputs written after the
// run (the picture, the results for scripts) and a library's caller read
// these, never the run state, whose matrices later stages reorder.

// A row's or a column's label: its original number in the data file and,
// when titles were read, its title (a number, or a text that a spreadsheet
// table gave).
struct Label {
  std::int64_t number = 0;
  bool titled = false;
  REAL title = 0;
  std::optional<std::string> text;
};

// One elimination step: the pivot, its variance (0 without an error) and
// where it stood.
struct PivotResult {
  REAL value = 0, variance = 0;
  Label row, column;
};

// One eigenvalue in report order: its place before sorting, its value and
// variance (0 without an error) and its residual test.
struct EigenvalueResult {
  std::int64_t position = 0;
  REAL value = 0, variance = 0;
  EigenTestRecord test;
};

// The histogram of the element values, each count column scaled to a
// largest class of 1 as the histogram file holds it (column 1 the input,
// column I + 1 the remainder after step I).
struct HistogramResult {
  std::int32_t classes = 0, columns = 0;
  REAL lowest_edge = 0, width = 0;  // the lower edge of class 1; the class width
  std::vector<std::vector<REAL>> counts;  // counts[i][j], classes i = 1..classes, columns j = 1..columns
  std::vector<REAL> largest;              // each column's largest count before the scaling, [1..columns]
  // The root mean square of the remainder's propagated errors after step I
  // ([I], 0 where unknown): the width of the noise that remainder should show.
  std::vector<REAL> remainder_error;
};

struct AnalysisResults {
  // How far the run came: the analysis ran (the steps asked for were not
  // 0), and of which kind.
  bool ran = false;
  bool eigenvalue_mode = false;  // the eigenvalue analysis, else the elimination
  bool product_matrix = false;   // of the product of the matrix with its transpose
  bool errors = false;           // element variances were formed from the error
  std::int32_t table_steps = 0;  // a contribution-table run: its tables after table_steps - 1 steps; 0: none
  std::int32_t N = 0, M = 0;     // the rows and columns analysed
  std::int32_t steps = 0;        // the steps or eigenvalues examined
  std::vector<PivotResult> pivots;             // elimination: one per step done
  // Eigenvalue mode: every eigenvalue in report order; the first
  // eigenvalues_examined carry their tests.
  std::vector<EigenvalueResult> eigenvalues;
  std::int32_t eigenvalues_examined = 0;
  // With errors in the eigenvalue mode: the noise edge of the analysed
  // matrix's element variances and, for a square matrix of its own, the
  // root mean square of its errors.
  NoiseEdge noise;
  REAL square_rms_error = 0;
  std::optional<HistogramResult> histogram;
};

// The results of the analysis stage, read off the run state right after
// it (before the contribution tables reorder the rows).
AnalysisResults collect_analysis_results(const AnalysisRun& s);
// The histogram as its file holds it, once the file is written.
HistogramResult collect_histogram(const AnalysisRun& s);
