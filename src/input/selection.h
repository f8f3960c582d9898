#pragma once

#include <cstdint>
#include <string_view>

// True when NP is named by the selection list SNO ("[2,5..7]"): items are
// whole numbers or ranges a..b; blanks and control characters inside the
// brackets do not count. Anything that cannot be read names nothing. The
// list is parsed anew on every call; no state is kept. The lists ERS and DCS
// name what is left out, so for them true means "leave this row (column) out".
bool NEEDCALC(std::string_view SNO, std::int32_t NP);
