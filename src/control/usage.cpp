#include "control/usage.h"

#include <initializer_list>
#include <string_view>

#include "common/console.h"
#include "control/options.h"

#ifndef QOR_VERSION
#error "QOR_VERSION is set from the project's version in CMakeLists.txt"
#endif

namespace {

// The summary, one line of text per line of source (after the first line
// end); the keywords of parameter 1 come from the table of options. At most
// 79 columns a line, so that an 80-column terminal never wraps one.
constexpr std::string_view kUsage = R"(
Usage: qor datafile[,keywords] report [method] [error] [steps] [reference]
       qor parameterfile
       qor   or   qor '?'      the help browser on Qor.hlp
       qor --help | -h         this summary
       qor --version           the program's version

qor tells how many independent components a data matrix holds, given the
size of the measurement error, by Gaussian elimination with complete
pivoting and error propagation, or by eigenvalue analysis.

Positions, separated by blanks ("" leaves one empty; 3 to 6 may be left off):
 1 datafile   a text table of numbers, followed directly by keywords:
)";

// After the keywords of parameter 1, which the table of options lists.
constexpr std::string_view kUsageAfterKeywords = R"( 2 report     report file; a trailing * switches the step listings off
 3 method     [B|E|T][S][width:decimals], e.g. S10:4 (default 7:3)
                B  eigenvalues of the matrix times its transpose
                E  eigenvalues of the matrix itself
                T  elimination on the matrix times its transpose
                S  statistics of the remainder at every step
                a negative count of decimals asks for scientific numbers
 4 error      standard deviation of every element:
                abs  @rel  abs@rel  (rel in per cent; % may stand for @)
 5 steps      elimination steps or eigenvalues (default: all)
 6 reference  Rn subtracts data row n from the others, Cn data column n

Environment:
  QOR_THREADS              threads for large matrices (default: one per
                           processor); never changes a result
  LC_ALL, LC_CTYPE, LANG   a locale naming UTF-8 shows the plus-minus sign
                           and the other code page 437 characters as UTF-8
                           on a terminal

The report file's name is cut to 12 characters and written in capitals
(out.txt gives OUT.TXT); when that changes the name, a line on standard
error names the file written and whether it replaced one.

On the screen: in elimination (no letter, T) the time and then the result
report; in eigenvalue mode (B, E) with an error one line "k/n" per
eigenvalue and the time only: its results are in the report file.
On a terminal, a data file of a megabyte or more shows "Loading NN %" while
it is read, and the analysis one line written over in place: "Product
matrix", "Diagonal 3/50", "Eigenvalue 3/50". A pipe or a file never gets
these texts; it gets the "k/n" lines of the eigenvalue mode as ever.

In a parameter file the switches of the keys S to Y take +, yes, on, 1 or
true and -, no, off, 0 or false; the keys B, C, I, J, L, P switch on only
with +, and H, Q off only with - (another word is told on standard error).

A setting that cannot be read falls back to its default, and a line on
standard error says what was taken ("qor: ... is not a keyword ...").

Exit status: 0 done; 2 a file does not exist; 106 a token that is not a
number, a row of another length or an empty field; 65 nothing to analyse;
64 a selection list or histogram too large, or keywords that do not go
together; 203 not enough memory; 17 an output file is an input file; 67
numbers beyond the 80-bit range; 130 Ctrl-C (the report ends with a line
that says so, the results file is written; a second Ctrl-C ends at once);
any other: the system's error number of a file that could not be opened,
read, written or closed. A reader that closes the standard output early
(| head) is no failure; every file is still finished. A step listing of
over 100 MB is announced on standard error before the run.

From Python: import qor (qor.load, qor.eliminate, qor.eigen, qor.rank; the
module is built beside the program, see help(qor)); qor.dask for Dask arrays.

The full manual: "qor '?'" (the help browser) and "man qor".
)";

constexpr std::string_view kVersionLine = "qor " QOR_VERSION;

bool first_parameter_is(const std::vector<std::string>& params,
                        std::initializer_list<std::string_view> spellings) {
  if (params.size() < 2) return false;
  for (const std::string_view s : spellings)
    if (params[1] == s) return true;
  return false;
}

}  // namespace

bool wants_usage(const std::vector<std::string>& params) {
  return first_parameter_is(params, {"--help", "-h"});
}

bool wants_version(const std::vector<std::string>& params) {
  return first_parameter_is(params, {"--version"});
}

// Unlike the program's reports, these two answers end their lines with LF
// alone, as scripts reading "$(qor --version)" expect on this system.
int show_usage(Console& console) {
  console.write(kUsage.substr(1));
  console.write(keyword_usage_lines());
  console.write(kUsageAfterKeywords);
  console.flush();
  return 0;
}

int show_version(Console& console) {
  console.write(kVersionLine);
  console.write("\n");
  console.flush();
  return 0;
}
