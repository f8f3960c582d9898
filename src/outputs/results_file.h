#pragma once

#include <string>

struct RunOutcome;
struct RunState;

// The results for scripts (",JSON", key X): one JSON file beside the file
// the run writes (the report, or the contribution tables), named like it
// with the extension ".json" in place of its own. It holds the program's
// version, the data file, the settings that shaped the results, the exit
// status and the stop message, and, when the run ended normally, its
// results: the pivots or the eigenvalues with their tests, and the rank
// verdict. Every REAL goes out with the digits that read back as the same
// value. After a stop a failure to write it is dropped, so that the stop's
// own message is the one the user sees.
void write_results_file(RunState& s, const RunOutcome& outcome);
