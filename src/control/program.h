#pragma once

#include <string>
#include <vector>

struct RunState;

// One invocation: the mode decision and the stages of a run in their fixed
// order. params[1..] are the command-line parameters (index 0 unused).
// Returns the exit status of an orderly end; a failed file operation throws RunError.
int run_program(RunState& s, const std::vector<std::string>& params);

// True when the parameters ask for the help browser: none, or a first one holding '?'.
bool wants_help(const std::vector<std::string>& params);

// Settings stage: defaults, then the parameter file (one parameter) or the
// command line (two or more), then the finishing steps.
void read_settings(RunState& s, const std::vector<std::string>& params);
