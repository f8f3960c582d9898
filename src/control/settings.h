#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/real.h"

#include "common/run_settings.h"

class TextReader;

void set_default_settings(RunSettings& s);
// params[1..] as given on the command line (index 0 unused; missing ones
// absent); parameters past the sixth are ignored, with a warning.
void read_command_line(RunSettings& s, const std::vector<std::string>& params);
void read_parameter_file(RunSettings& s, TextReader& file);
// Trims both file names, turns MERPR from per cent into a fraction, and
// treats a negative FTW as 0.
void finish_settings(RunSettings& s);
