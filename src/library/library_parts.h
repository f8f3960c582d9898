#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/run_settings.h"
#include "library/library.h"

struct DataTable;

// What the library's calls share.
namespace qor::detail {

// Refuses a table of no rows or columns (65), of values that do not fill it,
// or with a value that is not finite (106, naming its row counted from first_row).
void check_table(const Table& t, std::int64_t first_row);
// Refuses labels that are not one for each row (or column), or titles
// both numbers and texts, or not finite (64).
void check_labels(const Labels& l, std::int32_t count, const char* what);
// The table as the loader leaves a data file, with the reference row and
// column the settings name (not yet removed).
DataTable data_table_of(const Table& t, const RunSettings& given);
// Refuses (64) an error that is negative or not finite, naming it.
void check_error(REAL value, const std::string& name);
// The one check of a call's settings, against the shape of its data; each
// refusal (64) names the setting as the library and the Python module call it.
void check_settings(const Settings& x, std::int64_t rows, std::int32_t columns);
// Refuses (64) error tables not of the data's shape, with an error that is
// negative or not finite, or given beside the single value they replace.
void check_element_errors(const Settings& x, std::int32_t rows, std::int32_t columns);
// The settings' error tables into the data table (before its reference row
// and column are removed), the relative ones as fractions; a table of
// zeros gives none.
void take_element_errors(const Settings& x, DataTable& d);
// The same for a block of rows of a larger table: its errors kept even
// where all are 0, since the other blocks may have theirs.
void take_block_errors(const Settings& x, DataTable& d);
// The settings hold error tables.
bool has_error_tables(const Settings& x);
// The run settings of the program for a call's settings.
RunSettings settings_for(const Settings& x, bool row_titles, bool column_titles, bool eigenvalues);
// The verdict block as the report prints it, line by line.
std::vector<std::string> verdict_block(const RankVerdict& v);

}  // namespace qor::detail
