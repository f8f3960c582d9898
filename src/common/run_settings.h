#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/bounded_string.h"
#include "common/real.h"
#include "common/run_plan.h"

// The run settings as the user gave them: the defaults, then the command
// line or the parameter file. The settings stage fills them; after it they
// are only read, so that every output can say what was asked for. What the
// run does with them is its plan (run_plan.h, plan_run below); the loader
// turns OSR and OSC into positions in the data table.
//
// Every setting is named after its parameter-file key, its first letter
// (AFNI is set by the key A, GFNO by G, ..., RGAUSS by R, VERDICT by V,
// YPLOT by Y, ERRF by Z; KW1 and KD share K, MER and MERPR share M, OSR and OSC share O).
struct RunSettings {
  // A: name of the data file; parameter 1 up to its first comma, blank or control character.
  String255 AFNI;
  // G: name of the report file (parameter 2, without its asterisk); empty: no
  // report. With FTW it names the contribution-table file instead.
  String255 GFNO;
  // D, E: selection lists of the data file's columns (DCS) and rows (ERS)
  // left out of the analysis, such as "[2,5..7]"; "[]" leaves nothing out.
  String255 DCS{"[]"}, ERS{"[]"};
  bool BTOR = false;  // B: every data row begins with a row title (keyword ",TOR")
  bool CTOC = false;  // C: a line of column titles comes first (",TOC")
  bool HDR = true;    // H: detailed results: the matrix at every step, the eigenvector check (off: '*' in parameter 2)
  bool ITRN = false;  // I: analyse the product of the matrix with its transpose (leading T or B in parameter 3)
  bool JEV = false;   // J: eigenvalue analysis instead of elimination (leading E or B); cleared for tables
  bool LSD = false;   // L: statistics of the remainder at every step ('S' in parameter 3); cleared for tables
  bool PCRC = false;  // P: contribution table of the columns instead of the rows (",CRC")
  bool QHS = true;    // Q: sort the contribution table by magnitude (off: ",NS")
  // K: field width of the report's numbers (parameter 3 before its colon, default 7).
  std::int16_t KW1 = 7;
  // K: decimals of the report's numbers (after the colon, default 3); negative: scientific form.
  std::int16_t KD = 3;
  // N: elimination steps or eigenvalues to examine (parameter 5, default -1:
  // all). Read as a 16-bit setting, held wider so that the driver can settle
  // it to the smaller dimension of any matrix that fits in memory; with FTW it
  // becomes FTW - 1.
  std::int32_t NU = -1;
  // F: 0 for an analysis; k >= 1 asks for the contribution tables after
  // k - 1 elimination steps (",TWk"). Negative counts as 0; above the smaller
  // dimension the driver sets it to 0.
  std::int32_t FTW = 0;
  // O: the reference row (OSR) or column (OSC) subtracted from all others and
  // removed (parameter 6, "R3" or "C2"); 0 for none. Counted in the data file
  // when read; the loader turns it into the position among the selected rows
  // (columns), or 0 when the selection leaves it out.
  std::int32_t OSR = 0, OSC = 0;
  // M: absolute error (standard deviation of every element) and relative
  // error, given in per cent and held as a fraction once the settings are
  // read (parameter 4: "abs", "@rel", "abs@rel"). Cleared for tables.
  REAL MER = 0, MERPR = 0;
  // R: class width of the histogram (",TGw"); not positive: no histogram.
  REAL RGAUSS = -1.0L;
  // V: after the run, a rank verdict with its confidence at the end of the
  // report file and on the console (",RANK"). Off: no byte of any output changes.
  bool VERDICT = false;
  // Y: after the run, an SVG picture of the pivots or eigenvalues, the
  // verdict and the histogram beside the report (",PLOT"). Off: no byte of
  // any output changes.
  bool YPLOT = false;
  // W: after the run, an evolving factor analysis of the rows at the end of
  // the report (",EFA", ",EFAw"): -1 off, 0 with the default moving window,
  // else its rows. Off: no byte of any output changes.
  std::int32_t EFA = -1;
  // S: the character between the values of a data row, ',' ';' or tab
  // (",SEPC", ",SEPS", ",SEPT"); 0: blanks, as without it.
  char SEP = 0;
  // U: a decimal comma instead of the point in the data file (",DEC").
  bool UCOMMA = false;
  // X: the run's results for scripts, as JSON beside the report (",JSON").
  bool XJSON = false;
  // Z: the error file (",ERR=name"): a matrix of the data file's shape,
  // read by the same rules and selections, of each element's absolute
  // error, in place of the absolute error of parameter 4. Empty: none.
  String255 ERRF;
  // The first setting read that names no separator; reading goes on, and the
  // run stops on it once the settings are read.
  std::string setting_refusal;
  // What reading the settings took otherwise than it was most likely meant
  // (an unknown keyword, an error of "5%"), for standard error.
  std::vector<std::string> setting_warnings;
};

// Stops the run (status 64) on settings that cannot work together or name no
// separator: ,DEC with ,SEPC, ,JSON without a report file, ",SEP" or the S
// line without C, S or T. The one check of the settings as given, whoever
// filled them.
void refuse_conflicting_settings(const RunSettings& s);

// The plan of a run with these settings on a matrix of N rows and M columns
// (after the reference row and column are removed): a contribution-table
// run clears the remainder statistics, the eigenvalue mode and the errors
// and examines FTW - 1 steps; NU is settled to the smaller dimension, FTW to
// 0 when it is larger. element_errors: the data table holds errors element
// by element, which the plan takes unless it clears the errors.
RunPlan plan_run(const RunSettings& given, std::int32_t N, std::int32_t M, bool element_errors = false);
// The plan as far as the settings alone tell it, before the data's shape is
// known: what the outputs of a run stopped while loading state.
RunPlan plan_before_loading(const RunSettings& given);
