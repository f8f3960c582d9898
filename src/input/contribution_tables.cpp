#include "input/contribution_tables.h"

#include <cmath>
#include <optional>
#include <vector>

#include "common/console.h"
#include "common/program_run.h"
#include "common/text_writer.h"
#include "numeric/heapsort.h"
#include "common/number_text.h"
#include "report/output_file.h"
#include "report/result_report.h"

namespace {

// Column table: row FTW of A receives each column's RAC, TW its original row.
// Every column still compares its rows FTW+1..N in increasing order; running
// the rows outermost only keeps the matrix in cache.
void find_column_contributions(ProgramRun& s) {
  const std::int32_t F = s.plan.FTW;
  REAL* rac = s.table.A[F];
  std::vector<REAL> largest(static_cast<std::size_t>(s.table.M) + 1);
  for (std::int32_t j = 1; j <= s.table.M; ++j) {
    largest[j] = std::fabs(rac[j]);
    s.TW[1][j] = s.table.RW[F][1];
  }
  REAL* where = s.TW[1];
  for (std::int32_t i = F + 1; i <= s.table.N; ++i) {
    const REAL* row = s.table.A[i];
    const REAL original_row = s.table.RW[i][1];
    for (std::int32_t j = 1; j <= s.table.M; ++j)
      if (std::fabs(row[j]) > largest[j]) {
        rac[j] = row[j];
        largest[j] = std::fabs(row[j]);
        where[j] = original_row;
      }
  }
}

// Row table: column FTW of A receives each row's RAC, TW its original column.
void find_row_contributions(ProgramRun& s) {
  const std::int32_t F = s.plan.FTW;
  for (std::int32_t i = 1; i <= s.table.N; ++i) {
    REAL* row = s.table.A[i];
    REAL r = row[F];
    REAL b = std::fabs(r);
    s.TW[i][1] = s.table.CW[1][F];
    for (std::int32_t j = F + 1; j <= s.table.M; ++j)
      if (std::fabs(row[j]) > b) {
        r = row[j];
        row[F] = r;
        b = std::fabs(r);
        s.TW[i][1] = s.table.CW[1][j];
      }
  }
}

void write_heading(TextWriter& out, bool columns, int KW1) {
  out.write(columns ? "  Column titles" : "  Row titles");
  out.write_right("RAC", 2 * KW1 - (columns ? 9 : 6));
  out.write_right("Abs(RAC)", 2 * KW1 + 6);
  out.write_right("Row", 3 * KW1 - 10);
  out.write_right("Column", KW1);
  out.line_end();
}

void write_table_line(TextWriter& out, int KW1, REAL label, REAL rac, REAL row, REAL column) {
  write_scientific(out, label, 2 * KW1);
  out.write(' ');
  write_scientific(out, rac, 2 * KW1);
  out.write(' ');
  write_scientific(out, std::fabs(rac), 2 * KW1);
  write_integer(out, std::llround(row), KW1);
  write_integer(out, std::llround(column), KW1);
  out.line_end();
}

void write_table(ProgramRun& s, TextWriter& out) {
  HELP3(s.table.N, s.table.M, s.params, out);
  const int KW1 = s.settings.KW1;
  if (s.settings.PCRC) {
    find_column_contributions(s);
    if (s.settings.QHS) HEAPSORTC(SortedTable{s.table.A, s.plan.FTW, s.table.CO, s.table.CW, s.TW}, s.table.M);
    write_heading(out, true, KW1);
    for (std::int32_t j = 1; j <= s.table.M; ++j)
      write_table_line(out, KW1, s.table.CO[1][j], s.table.A[s.plan.FTW][j], s.TW[1][j], s.table.CW[1][j]);
  } else {
    find_row_contributions(s);
    if (s.settings.QHS) HEAPSORTR(SortedTable{s.table.A, s.plan.FTW, s.table.RO, s.table.RW, s.TW}, s.table.N);
    write_heading(out, false, KW1);
    for (std::int32_t i = 1; i <= s.table.N; ++i)
      write_table_line(out, KW1, s.table.RO[i][1], s.table.A[i][s.plan.FTW], s.table.RW[i][1], s.TW[i][1]);
  }
}

}  // namespace

void write_contribution_tables(ProgramRun& s) {
  if (s.settings.GFNO.empty()) {
    write_table(s, s.console.out());
    s.console.flush();
    return;
  }
  TextWriter file = create_output_file(s, s.settings.GFNO.str(), "contribution-table file");
  write_table(s, file);
  file.close();
}
