#pragma once

struct ProgramRun;

// Reads the data file AFNI into A with the labels RO, CO (and RW, CW, TW
// where the run needs them), leaving out the rows in ERS and the columns in
// DCS. Sets N0, M0, N, M, SIZE and renumbers OSR, OSC among the selected
// rows and columns. A selected row must hold its title (with BTOR) and exactly
// M0 values on its own line, and a column-title line (with CTOC) at least M0
// numbers; anything else stops the run with error 106.
void load_data_matrix(ProgramRun& s);
