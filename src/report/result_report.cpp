#include "report/result_report.h"

#include <cmath>

#include "common/analysis_workspace.h"
#include "common/text_writer.h"
#include "report/code_page.h"
#include "common/number_text.h"

namespace {

// LF: a label as a whole number when it nearly is one, else with 3 decimals.
void write_label(TextWriter& out, REAL v, int w) { write_fixed(out, v, w, is_whole_label(v, kRowLabelWholeWithin) ? 0 : 3); }

// The legend names titles whenever original numbers are kept beside the
// labels: with titles, and in a table run that goes ahead.
bool titles_in_legend(const AnalysisRun& s) { return s.plan.FTW > 0 || s.table.row_titles || s.table.column_titles; }

void write_legend(const AnalysisRun& s, TextWriter& T) {
  if (s.plan.LSD) T.write("    ");
  T.write("D,R,C");
  if (titles_in_legend(s)) T.write(",t");
  T.write(": Diagonal elements, their original row/column numbers");
  if (titles_in_legend(s)) T.write("/titles");
  T.write(".");
  T.line_end();
  if (s.plan.LSD) {
    T.write("M,Sd,Sk,K: Mean, standard deviation; ");
    T.write("normalized skewness and kurtosis.");
    T.line_end();
  }
}

// The R or C lines: original numbers (when titles were read) and labels.
template <typename Original, typename Label>
void write_label_lines(const AnalysisRun& s, TextWriter& T, const char* head, bool titled, int w,
                       Original original, Label label) {
  T.write(head);
  if (titled) {
    for (std::int32_t i = 1; i <= s.work.MIN; ++i) write_fixed(T, original(i), w, 0);
    T.line_end();
    T.write(" t  ");
  }
  for (std::int32_t i = 1; i <= s.work.MIN; ++i) write_label(T, label(i), w);
  T.line_end();
}

void write_statistics(const AnalysisRun& s, TextWriter& T, int w, std::int16_t KD) {
  static constexpr const char* kLabels[] = {" M:", "Sd:", "Sk:", " K:"};
  for (int j = 1; j <= 8; ++j) {
    if (j == 1 || j == 5) {
      T.write("Statistical description for the ");
      if (j == 5) T.write("absolute ");
      T.write("elements of the remainder matrix:");
      T.line_end();
    }
    T.write(kLabels[(j - 1) % 4]);
    for (std::int32_t i = 1; i <= s.work.MIN; ++i) write_number(T, s.work.AR[j][i], w, KD);
    T.line_end();
  }
}

}  // namespace

void HELP3(std::int32_t N, std::int32_t M, const std::vector<std::string>& params, TextWriter& WAY) {
  WAY.write("N_row: " + std::to_string(N) + ". N_column: " + std::to_string(M) + ".");
  WAY.line_end();
  WAY.write("Input parameters:");
  for (std::size_t i = 1; i < params.size() && i <= 6; ++i) {
    if (params[i].empty()) continue;
    WAY.write(" ");
    WAY.write(params[i]);
  }
  WAY.line_end();
}

void PRINTRES(const AnalysisRun& s, TextWriter& T, std::int16_t W1, std::int16_t KD) {
  const int w = W1;
  T.line_end();
  write_legend(s, T);
  T.write(" D: ");
  for (std::int32_t i = 1; i <= s.work.MIN; ++i) write_number(T, s.table.A[0][i], w, KD);
  T.line_end();
  if (errors_known(s.plan)) {
    T.write("   ");
    T.write(cp437::kPlusMinus);
    for (std::int32_t i = 1; i <= s.work.MIN; ++i) write_number(T, std::sqrt(s.work.SD[i][i]), w, KD);
    T.line_end();
  }
  write_label_lines(
      s, T, " R: ", s.table.row_titles, w, [&](std::int32_t i) { return s.table.RW[i][1]; },
      [&](std::int32_t i) { return s.table.RO[i][1]; });
  write_label_lines(
      s, T, " C: ", s.table.column_titles, w, [&](std::int32_t i) { return s.table.CW[1][i]; },
      [&](std::int32_t i) { return s.table.CO[1][i]; });
  if (s.plan.LSD) write_statistics(s, T, w, KD);
}
