#pragma once

struct ProgramRun;

// Reads the data file AFNI into A with the labels RO, CO (and RW, CW, TW
// where the run needs them), leaving out the rows in ERS and the columns in
// DCS. Sets N0, M0, N, M, SIZE and renumbers OSR, OSC among the selected
// rows and columns. A selected row must hold its title (with BTOR) and exactly
// M0 values on its own line, and a column-title line (with CTOC) at least M0
// numbers; anything else stops the run with error 106.
void load_data_matrix(ProgramRun& s);

// Reads the error file ERRF, when one is named, by the same rules and
// selections: its values, one for each value of the data file, become the
// table's element errors (absolute, standard deviations). Refuses (106) a
// file of another shape and an error that is negative or not finite. Call
// after load_data_matrix.
void load_error_matrix(ProgramRun& s);
