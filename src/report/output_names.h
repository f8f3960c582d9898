#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct ProgramRun;

// Every file a run writes is named here, and every writer asks here.

// The histogram file, in the working directory.
inline constexpr std::string_view kHistogramFileName = "Qorgauss.bin";
// The picture of a run that writes no file of its own, in the working directory.
inline constexpr std::string_view kPictureWithoutFileName = "Qorplot.svg";

// The report file as the analysis creates it from OUT: the directory part
// (up to the last '/') as given, the file name after it cut to 12
// characters and upper-cased. Empty for an empty OUT.
std::string report_file_name(std::string_view OUT);

// What a user should know when the report is not written under the name
// given: one line naming the file written and why its name differs (the
// file name cut to 12 characters, upper-cased), that it replaces an
// existing file, and that the name given is a folder. Empty when the name
// stays as given. `replaces` and `folder` say what the disk holds.
std::string report_name_note(std::string_view OUT, bool replaces, bool folder);
// The same for the report of this run (H), looking at the disk before the
// report is created; a file the run reads is not counted as replaced (the
// run refuses to write over it).
std::string report_name_warning(const ProgramRun& s);

// The file this run has written its results into: the contribution-table
// file in a table run (GFNO as given; empty when the tables went to the
// console), the report file when the analysis ran with one, else empty.
std::string written_file(const ProgramRun& s);

// A file of our own beside `base` that replaces nothing of the run's: the
// stem of base (its name up to the last '.' of the file name) with the
// extension, unless that name is, compared without case, the name of the
// base itself, of one of the run's inputs or of a file the run wrote; then
// the extension is added to the whole name instead, and again until the
// name is free. On a disk that does not tell upper from lower case (macOS,
// Windows shares) two such names would be one file.
std::string derived_file_name(const ProgramRun& s, const std::string& base, std::string_view extension);

// The picture (",PLOT"): beside the written file, else kPictureWithoutFileName.
std::string picture_file_name(const ProgramRun& s);
// The results for scripts (",JSON"): beside the written file, or beside the
// report file that the second parameter names when the analysis did not run.
std::string results_file_name(const ProgramRun& s);

// True when the two paths name the same file on a disk that does not tell
// upper from lower case: the same path once made absolute and normal,
// letters compared without case.
bool same_name_without_case(const std::string& a, const std::string& b);
