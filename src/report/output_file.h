#pragma once

#include <string>

#include "common/text_writer.h"

struct ProgramRun;

// How an output file got its name: from the user (the report, the table
// file), or from the program (the histogram's fixed name, the picture and
// the results beside the report).
enum class OutputName { given, chosen };

// Creates (or replaces) an output file of the run, after making sure that it
// loses nothing: it must not be one of the files the run has read (the same
// file on disk under any spelling of its name, links included), and a file
// whose name the program chose must not share its name, compared without
// case, with an input or a file the run has written (on a disk that does not
// tell upper from lower case those are one file). Otherwise the run stops
// with a run-time error before anything is written. The file is then among
// the run's outputs. A missing folder is named in the error.
TextWriter create_output_file(ProgramRun& s, const std::string& path, const std::string& role,
                              OutputName name = OutputName::given);

// Error number of that refusal (EEXIST: the file exists as an input).
inline constexpr int kOutputIsInput = 17;
