#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/bounded_string.h"
#include "common/matrix.h"
#include "common/real.h"
#include "common/run_settings.h"
#include "common/workers.h"

class Console;
struct ResidualTest;

// The key to the short names. They are the program's vocabulary and the
// manual's: the run settings are named after their parameter-file keys (see
// run_settings.h); matrices and counts keep the names the report and the
// manual use (A, SD, T, MIN, ...).
// Rows and columns are numbered from 1; index 0 of a matrix is unused unless
// a comment says otherwise. A vector indexed by row lives in column 1 of rows
// 1..n, one indexed by column in row 1 of columns 1..m.

// What the eigenvalue mode found for eigenvalue I beyond DE and EE, kept for
// the outputs that are written after the analysis (the picture, the results
// for scripts). The residual test is there only when an error is known, its
// probabilities only when the analysis's observer wanted them (the
// program's when a report file is open, the library's always).
struct EigenTestRecord {
  bool tested = false;         // an error is known: the residual test ran
  bool probabilities = false;  // Q_all and Q_rest were computed
  REAL G = 0;                  // chi-square sum
  std::int64_t NR[4] = {0, 0, 0, 0};  // residuals beyond 1, 2, 3 standard deviations (index 0 unused)
  REAL Q_all = 0;   // Q(nm-i)
  REAL Q_rest = 0;  // Q((n-i)(m-i))
};

// Everything a run shares between its stages. main creates exactly one and
// hands it by reference to each stage; tests build their own. The text
// channels are not members: each stage opens its file as a local object, so
// two are never open at once and an early stop closes them.
struct RunState {
  explicit RunState(Console& console_in, int threads = 1) : console(console_in), workers(threads) {}

  // Standard output and input: messages, progress, pauses, the help browser.
  Console& console;

  // The threads the analysis shares its larger loops among (QOR_THREADS).
  Workers workers;

  // Command-line parameters 1..6 as typed (index 0 unused), for the report
  // header; a run from a parameter file has just its name.
  std::vector<std::string> params;

  // The files this run has read (role, path): no output may replace one of them.
  std::vector<std::pair<std::string, std::string>> inputs;
  // The files this run has created so far (role, path).
  std::vector<std::pair<std::string, std::string>> outputs;

  // ---- The run settings as given, and the copies the run adjusts.
  RunSettings settings;
  // The run driver's copies (set from the settings when the run starts):
  // a table run clears LSD, JEV, MER and MERPR and examines FTW - 1 steps;
  // NU is settled to the matrix's smaller dimension, FTW to 0 when it is
  // larger. The loader turns OSR and OSC into positions among the selected
  // rows and columns (0 when the selection leaves them out).
  std::int32_t FTW = 0, NU = -1, OSR = 0, OSC = 0;
  bool LSD = false, JEV = false;
  REAL MER = 0, MERPR = 0;

  // ---- Dimensions, set by the loader and the run driver.

  std::int32_t N0 = 0;  // data rows in the file, selected or not
  std::int32_t M0 = 0;  // values in a data row (counted on the first selected row)
  // Selected rows and columns; each one less after removing a reference row
  // (column); both MIN after an elimination of the product matrix.
  std::int32_t N = 0, M = 0;
  // The smaller of N and M (run driver); after an elimination the number of
  // steps done, that is the rank found (limited by NU).
  std::int32_t MIN = 0;
  // Exponent of the eigenvector check's smallness threshold 10^-SIZE; the loader sets 10.
  std::int32_t SIZE = 0;

  // ---- Working matrices (allocated zeroed by the loader and the run driver
  // as the run needs them).

  // The data matrix, rows 1..N, columns 1..M, reduced in place by the
  // elimination. Row 0 receives the pivots: A[0][i] is the pivot of step i.
  MATRIX A;
  // Variances of the elements of A (when an error is given), exchanged and
  // propagated with A; SD[i][i] is the pivot's variance after step i.
  MATRIX SD;
  // The product matrix (order MIN); in eigenvalue mode afterwards the
  // eigenvectors, one per column, sorted like the eigenvalues.
  MATRIX T;
  MATRIX ST;  // variances of the elements of T
  MATRIX CC;  // eigenvalue mode: a copy of the matrix that was decomposed
  MATRIX DE;  // eigenvalue mode: the eigenvalues, sorted by decreasing magnitude (column 1)
  // Eigenvalue mode: first the sub-diagonal work vector of the decomposition,
  // then the eigenvalues' variances (column 1).
  MATRIX EE;
  MATRIX FE;  // eigenvalue mode: CC times the eigenvector last examined (column 1)
  // Remainder statistics: AR[1..8][I] describes the remainder before step I
  // (mean, deviation, skewness, kurtosis; signed, then absolute values).
  MATRIX AR;
  // Histogram: GB[i][0] is the centre of class i (1..GL), GB[i][1] the count
  // of the input matrix, GB[i][I+1] that of the remainder after step I;
  // scaled to a largest count of 1 per column when the file is written.
  MATRIX GB;
  // Row labels RO[i][1] (titles with BTOR, else original row numbers) and
  // column labels CO[1][j], moved with the row and column exchanges. In
  // eigenvalue mode RO[i][1] becomes the position eigenvalue i had before
  // sorting, and CO[1][j] = j.
  MATRIX RO, CO;
  // Original row numbers RW[i][1] and column numbers CW[1][j], kept beside
  // titles and for the tables (see keeps_original_row_numbers).
  MATRIX RW, CW;
  // Titles that are texts, such as a spreadsheet's sample names (read only
  // with a separator), by original row (column) number; index 0 unused. Empty
  // unless the loader met such a title: the row titles are texts when the
  // title of any selected row is not a number, the column titles when the
  // title of any selected column is not. Their rows (columns) are then
  // labelled by their original numbers in RO (CO), and the results file
  // gives the texts.
  std::vector<std::string> row_title_texts, column_title_texts;
  // Contribution tables: where each row's (column's) largest remainder
  // element lies, as an original column (row) number.
  MATRIX TW;

  // ---- Histogram classes (see analysis/histogram.h).

  std::int32_t GL = 0;  // number of classes
  std::int32_t GK = 0;  // count columns: the input, then one per elimination step
  // First the largest magnitude of the input matrix, then the lower edge of class 1.
  REAL GA = 0;
  // The largest count of each column (index 1..GK), kept when the histogram
  // file scales the columns, so that the counts can be told again.
  std::vector<REAL> histogram_largest;
  // With a picture and errors: the root mean square of the remainder's
  // propagated errors after step I, [I] for each step counted.
  std::vector<REAL> remainder_errors;

  // The report-file name handed to the analysis: GFNO, or empty in a table run.
  String255 H;

  // A tall matrix analysed by blocks: the residual tests after I
  // components ([I]), summed over the blocks, in place of the tests of the
  // run's own data; past their end eigenvalues go untested.
  const std::vector<ResidualTest>* given_tests = nullptr;

  // Eigenvalue mode: eigen_tests[I - 1] for eigenvalue I = 1..U, in report order.
  std::vector<EigenTestRecord> eigen_tests;
};

// The run's own copies of the settings it adjusts, as the settings give them.
inline void take_run_copies(RunState& s) {
  s.FTW = s.settings.FTW;
  s.NU = s.settings.NU;
  s.OSR = s.settings.OSR;
  s.OSC = s.settings.OSC;
  s.LSD = s.settings.LSD;
  s.JEV = s.settings.JEV;
  s.MER = s.settings.MER;
  s.MERPR = s.settings.MERPR;
}

// RW (CW) holds the original row (column) numbers whenever titles replace
// the labels or the contribution tables need the numbers.
inline bool keeps_original_row_numbers(const RunState& s) { return s.FTW > 0 || s.settings.BTOR; }
inline bool keeps_original_column_numbers(const RunState& s) { return s.FTW > 0 || s.settings.CTOC; }

// A measurement error is known when either the absolute or the relative one is given.
inline bool errors_known(REAL absolute, REAL relative) { return absolute != 0 || relative != 0; }
