#pragma once

#include <string>

#include "common/text_writer.h"

struct RunState;

// Creates (or replaces) an output file of the run, after making sure it is
// not one of the files the run has read: the same file on disk under any
// spelling of its name (links included) would lose the user's input, so the
// run stops with a run-time error before anything is written.
TextWriter create_output_file(const RunState& s, const std::string& path, const std::string& role);

// Error number of that refusal (EEXIST: the file exists as an input).
inline constexpr int kOutputIsInput = 17;
