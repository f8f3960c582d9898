#pragma once

#include <cstdint>

struct ProgramRun;
class TextWriter;

// The two-line header of every report file: the matrix size and the
// command-line parameters of the run.
void HELP3(const ProgramRun& s, TextWriter& WAY);

// The result report: pivots, their standard deviations, the original numbers
// and titles of the pivot rows and columns, and the remainder statistics.
void PRINTRES(const ProgramRun& s, TextWriter& T, std::int16_t W1);
