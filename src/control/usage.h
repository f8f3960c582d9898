#pragma once

#include <string>
#include <vector>

class Console;

// True when the first parameter is exactly "--help" or "-h" (the summary),
// or "--version"; such a parameter is never a file name.
bool wants_usage(const std::vector<std::string>& params);
bool wants_version(const std::vector<std::string>& params);

// The summary of the command line on standard output. Returns the exit status (0).
int show_usage(Console& console);
// "qor" and the project's version, one line. Returns the exit status (0).
int show_version(Console& console);
