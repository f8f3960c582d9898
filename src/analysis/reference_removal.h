#pragma once

#include "common/data_table.h"

// The reference row (OSR) or column (OSC) subtracted from every other row
// (column) of A and removed, the labels and original numbers closing up
// behind it. Nothing happens when the table names none. A difference that
// overflows stops the run (status 67).
void remove_reference_row(DataTable& d);
void remove_reference_column(DataTable& d);
