#pragma once

#include <string>
#include <vector>

struct ProgramRun;

// One invocation: the mode decision and the stages of a run in their fixed
// order. params[1..] are the command-line parameters (index 0 unused).
// Returns the exit status of an orderly end; a failed file operation throws RunError.
int run_program(ProgramRun& s, const std::vector<std::string>& params);

// True when the parameters ask for the help browser: none, or a first one holding '?'.
bool wants_help(const std::vector<std::string>& params);

// Settings stage: defaults, then the parameter file (one parameter) or the
// command line (two or more), then the finishing steps.
void read_settings(ProgramRun& s, const std::vector<std::string>& params);

// The number of threads of a run: the value of the environment variable
// QOR_THREADS when it is a whole number from 1 to Workers::kMaxThreads
// (digits only), otherwise (unset, empty, 0, a sign, a fraction, a word, too
// large) every processor the program may run on.
int thread_count(const char* QOR_THREADS);
