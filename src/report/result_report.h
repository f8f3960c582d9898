#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AnalysisRun;
class TextWriter;

// The two-line header of every report file: the matrix size and the
// command-line parameters of the run.
void HELP3(std::int32_t N, std::int32_t M, const std::vector<std::string>& params, TextWriter& WAY);

// The result report: pivots, their standard deviations, the original numbers
// and titles of the pivot rows and columns, and the remainder statistics.
void PRINTRES(const AnalysisRun& s, TextWriter& T, std::int16_t W1, std::int16_t KD);
