#pragma once

#include <string>

#include "analysis/noise_edge.h"
#include "verdict/rank_verdict.h"

class TextWriter;

// The block: "Rank verdict", "Rank: r" or "Rank: r1 to r2 (uncertain)", the
// component lines, sigma, the noise edge and the reasons. Plain ASCII.
void write_rank_verdict(TextWriter& out, const RankVerdict& v);

// How the verdict's noise edge was found, and its formula in the words of
// the block, for every output that states it.
NoiseEdgeKind noise_edge_kind(const RankVerdict& v);
std::string verdict_noise_edge_formula(const RankVerdict& v);
