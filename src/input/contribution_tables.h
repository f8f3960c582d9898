#pragma once

struct ProgramRun;

// The row (or, with PCRC, column) contribution table: for every row or
// column the element of largest magnitude it holds in the remainder after
// FTW - 1 elimination steps (RAC), where it lies in the input, sorted by
// decreasing magnitude unless QHS is cleared. Written to the file GFNO, or
// to standard output when GFNO is empty.
void write_contribution_tables(ProgramRun& s);
