#pragma once

#include <string>
#include <vector>

#include "evolving/evolving_factors.h"

class TextWriter;

// The evolving-factor block of the report (",EFA"): how the noise was set,
// where each component appears and disappears, and the count of every
// window by rows. row_names[i] names row i (1..N; [0] unused).
void write_evolving_block(TextWriter& out, const EvolvingFactors& f, const std::vector<std::string>& row_names);

// "3", or "2..3" for a range.
std::string count_range_text(std::int32_t low, std::int32_t high);
