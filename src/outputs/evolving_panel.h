#pragma once

#include <string>

#include "evolving/evolving_factors.h"

class SvgWriter;

// The picture's panel of the evolving factor analysis (",EFA" with
// ",PLOT"): the logarithms of the growing windows' leading singular values
// along the rows, forward and backward, with each forward window's noise
// edge, and the moving windows' count as a band along the bottom.
void draw_evolving_panel(SvgWriter& svg, double top, const EvolvingFactors& f, const std::string& data_file);
