#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/real.h"

struct RunState;
class TextReader;

// "abs", "@rel", "abs@rel" (or % as separator): MER and MERPR (MERPR still in per cent).
void read_error_pair(std::string_view text, REAL& MER, REAL& MERPR);
// "width:decimals": KW1 and KD, 7 and 3 where a part is unreadable or there is no colon.
void read_width_and_decimals(std::string_view text, std::int16_t& KW1, std::int16_t& KD);

void set_default_settings(RunState& s);
// params[1..6] as given on the command line (index 0 unused; missing ones absent).
void read_command_line(RunState& s, const std::vector<std::string>& params);
void read_parameter_file(RunState& s, TextReader& file);
// Trims both file names, turns MERPR from per cent into a fraction, and
// treats a negative FTW as 0.
void finish_settings(RunState& s);
// Stops the run (status 64) on settings that cannot work together or name no
// separator: ,DEC with ,SEPC, ,JSON without a report file, ",SEP" or the S
// line without C, S or T.
void refuse_conflicting_settings(const RunState& s);
