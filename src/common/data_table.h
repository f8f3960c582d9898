#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/matrix.h"

// The key to the short names: the data and the matrices keep the names the
// report and the manual use (A, RO, CO, ...). Rows and columns are numbered
// from 1; index 0 of a matrix is unused unless a comment says otherwise. A
// vector indexed by row lives in column 1 of rows 1..n, one indexed by
// column in row 1 of columns 1..m.

// The matrix an analysis works on, with its labels: what the loader (or a
// library's caller) hands over. The elimination reduces A in place and
// exchanges the labels with its rows and columns.
struct DataTable {
  std::int32_t N0 = 0;  // data rows in the file, selected or not
  std::int32_t M0 = 0;  // values in a data row (counted on the first selected row)
  // Selected rows and columns; each one less after removing a reference row
  // (column); both the order of the product matrix after its elimination.
  std::int32_t N = 0, M = 0;
  // The data matrix, rows 1..N, columns 1..M, reduced in place by the
  // elimination. Row 0 receives the pivots: A[0][i] is the pivot of step i.
  MATRIX A;
  // Row labels RO[i][1] (titles when row_titles, else original row numbers)
  // and column labels CO[1][j], moved with the row and column exchanges. In
  // eigenvalue mode RO[i][1] becomes the position eigenvalue i had before
  // sorting, and CO[1][j] = j.
  MATRIX RO, CO;
  // Original row numbers RW[i][1] and column numbers CW[1][j], kept (and
  // allocated) beside titles and for the contribution tables.
  MATRIX RW, CW;
  // RO (CO) holds the titles the data file gave its rows (columns).
  bool row_titles = false, column_titles = false;
  // Titles that are texts, such as a spreadsheet's sample names (read only
  // with a separator), by original row (column) number; index 0 unused. Empty
  // unless the loader met such a title: the row titles are texts when the
  // title of any selected row is not a number, the column titles when the
  // title of any selected column is not. Their rows (columns) are then
  // labelled by their original numbers in RO (CO), and the results file
  // gives the texts.
  std::vector<std::string> row_title_texts, column_title_texts;
  // Errors given element by element; not allocated where the run's one
  // absolute and one relative error hold for every element. The absolute
  // error (a standard deviation) and the relative error (a fraction of the
  // value) of element (i, j), rows 1..N, columns 1..M, in the data's
  // order: a reference row (column) leaves them as it leaves A, without
  // being subtracted. The elimination reorders the variances formed from
  // them, never these.
  MATRIX element_errors, element_relative_errors;
  // The reference row (column) as a position among the selected rows
  // (columns), 0 for none or when the selection leaves it out.
  std::int32_t OSR = 0, OSC = 0;
};

// RW (CW) holds the original row (column) numbers whenever titles replace
// the labels or the contribution tables need the numbers.
inline bool keeps_original_row_numbers(const DataTable& d) { return d.RW.allocated(); }
inline bool keeps_original_column_numbers(const DataTable& d) { return d.CW.allocated(); }
inline bool has_element_errors(const DataTable& d) {
  return d.element_errors.allocated() || d.element_relative_errors.allocated();
}
