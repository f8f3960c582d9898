#include "control/run_driver.h"

#include <gtest/gtest.h>

#include <vector>

#include "input/data_file_fixture.h"

namespace {

using Row = std::vector<REAL>;

// Loads a data file with the given settings, then runs the driver's preparation.
struct Driver : qor_test::DataFileRun {
  void prepare(const std::string& bytes) {
    load(bytes);
    prepare_run(s);
  }
  Row row(const MATRIX& m, int i, int first, int last) const { return Row(m[i] + first, m[i] + last + 1); }
};

// Column 1 is subtracted from columns 2 and 3 and removed; the columns behind
// it move left with their titles and original numbers.
TEST_F(Driver, ReferenceColumnBeforeOthers) {
  s.settings.CTOC = true;
  s.settings.OSC = 1;
  prepare("10 20 30\r\n1 2 3\r\n4 6 8\r\n7 9 12\r\n");
  EXPECT_EQ(std::pair(s.table.N, s.table.M), std::pair(3, 2));
  EXPECT_EQ(row(s.table.A, 1, 1, 2), (Row{1, 2}));
  EXPECT_EQ(row(s.table.A, 2, 1, 2), (Row{2, 4}));
  EXPECT_EQ(row(s.table.A, 3, 1, 2), (Row{2, 5}));
  EXPECT_EQ(row(s.table.CO, 1, 1, 2), (Row{20, 30}));
  EXPECT_EQ(row(s.table.CW, 1, 1, 2), (Row{2, 3}));
}

// A reference row or column that the selection leaves out is no reference:
// nothing is subtracted and nothing removed.
TEST_F(Driver, ReferenceLeftOutBySelection) {
  s.settings.DCS = "[2]";
  s.settings.OSC = 2;
  s.settings.ERS = "[1]";
  s.settings.OSR = 1;
  prepare("1 2 3\r\n4 6 8\r\n7 9 12\r\n");
  EXPECT_EQ(std::pair(s.table.OSR, s.table.OSC), std::pair(0, 0));
  EXPECT_EQ(std::pair(s.table.N, s.table.M), std::pair(2, 2));
  EXPECT_EQ(row(s.table.A, 1, 1, 2), (Row{4, 8}));
  EXPECT_EQ(row(s.table.A, 2, 1, 2), (Row{7, 12}));
  EXPECT_EQ(row(s.table.CO, 1, 1, 2), (Row{1, 3}));
}

// A reference the run cannot subtract is named on standard error, with the
// count it lies beyond; a reference in range, or none, says nothing.
TEST_F(Driver, UnusedReferenceIsTold) {
  const struct {
    std::int32_t OSR, OSC;
    const char* ERS;
    const char* warnings;
  } cases[] = {
      {99, 0, "[]", "qor: the reference row R99 lies beyond the 3 rows of the data file, so none is subtracted.\n"},
      {0, 4, "[]", "qor: the reference column C4 lies beyond the 3 columns of the data file, so none is subtracted.\n"},
      {2, 0, "[2]", "qor: the reference row R2 is left out by the row selection, so none is subtracted.\n"},
      {-1, 0, "[]", "qor: the reference row R-1 names no row (they are counted from 1), so none is subtracted.\n"},
      {3, 3, "[]", ""},
      {0, 0, "[]", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.warnings);
    qor_test::CapturedConsole console;
    ProgramRun run(console.console());
    set_default_settings(run.settings);
    run.settings.AFNI = "data.txt";
    run.settings.OSR = c.OSR;
    run.settings.OSC = c.OSC;
    run.settings.ERS = c.ERS;
    qor_test::write_file("data.txt", "1 2 3\r\n4 6 8\r\n7 9 12\r\n");
    load_data_matrix(run);
    prepare_run(run);
    EXPECT_EQ(console.warnings(), c.warnings);
  }
}

}  // namespace
