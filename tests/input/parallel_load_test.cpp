// A data file of several hundred kilobytes is read in parts side by side when
// the run has several threads. The values, the labels and the first error in
// file order (with its line) must be what reading the file from its start
// gives; the expected values are worked out from how the file is written.
#include <gtest/gtest.h>

#include <string>

#include "common/run_error.h"
#include "common/program_run.h"
#include "control/settings.h"
#include "input/loader.h"
#include "test_support.h"

namespace {

constexpr int kRows = 24000;  // about 1.3 MB: five parts or more
constexpr int kColumns = 8;

// Value j of data row i: i + j / 4, exact in binary, written with two decimals.
std::string value_text(int i, int j) {
  const int quarter = j % 4;
  return std::to_string(i + j / 4) + "." + (quarter == 0 ? "00" : quarter == 1 ? "25" : quarter == 2 ? "50" : "75");
}
REAL value(int i, int j) { return static_cast<REAL>(i) + static_cast<REAL>(j) / 4; }

// Row i (from 1) on its own line with its title 1000000 + i; a blank line
// after every row divisible by 7; no title line. line_of(i) is its line.
std::string data_text(void (*change)(int, std::string&) = nullptr) {
  std::string text;
  for (int i = 1; i <= kRows; ++i) {
    std::string line = std::to_string(1000000 + i);
    for (int j = 1; j <= kColumns; ++j) line += " " + value_text(i, j);
    if (change != nullptr) change(i, line);
    text += line + "\r\n";
    if (i % 7 == 0) text += "  \t\r\n";
  }
  return text;
}
int line_of(int i) { return i + (i - 1) / 7; }

struct ParallelLoad : ::testing::Test {
  qor_test::TempDir dir;
  qor_test::CapturedConsole captured;
  ProgramRun s{captured.console(), 3};

  ParallelLoad() {
    set_default_settings(s.settings);
    s.settings.AFNI = "data.txt";
    s.settings.BTOR = true;
  }
  std::string load_error(const std::string& text) {
    qor_test::write_file("data.txt", text);
    try {
      load_data_matrix(s);
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), 106);
      return e.what();
    }
    ADD_FAILURE() << "expected the load to fail";
    return {};
  }
};

TEST_F(ParallelLoad, ValuesAndTitlesAreThoseOfTheFileInOrder) {
  // Left out: row 2, a run of rows across where the parts begin, the last row.
  s.settings.ERS = "[2,5000..13000,24000]";
  s.settings.DCS = "[3]";
  qor_test::write_file("data.txt", data_text());
  load_data_matrix(s);
  EXPECT_EQ(s.table.N0, kRows);
  EXPECT_EQ(s.table.M0, kColumns);
  ASSERT_EQ(s.table.N, kRows - 1 - 8001 - 1);
  ASSERT_EQ(s.table.M, kColumns - 1);
  std::int32_t k = 0;
  for (int i = 1; i <= kRows; ++i) {
    if (i == 2 || (i >= 5000 && i <= 13000) || i == kRows) continue;
    ++k;
    ASSERT_EQ(s.table.RO[k][1], 1000000 + i) << i;
    ASSERT_EQ(s.table.RW[k][1], i) << i;
    std::int32_t l = 0;
    for (int j = 1; j <= kColumns; ++j) {
      if (j == 3) continue;
      ++l;
      ASSERT_EQ(s.table.A[k][l], value(i, j)) << i << " " << j;
    }
  }
  EXPECT_EQ(k, s.table.N);
  EXPECT_GT(s.workers.shared_loops(), 0);  // the parts were read side by side
}

// Each case spoils two rows far apart; the earlier one is reported, with its
// line, as reading from the start would meet it first.
TEST_F(ParallelLoad, TheFirstErrorInFileOrderIsReported) {
  static int first_bad, second_bad;
  static std::string first_kind, second_kind;
  const auto spoil = [](int i, std::string& line) {
    const auto put = [&](const std::string& kind) {
      if (kind == "word") line += " x";            // a word after the values: not a number
      if (kind == "short") line.erase(line.rfind(' '));  // one value too few
      if (kind == "long") line += " 1";             // one value too many
    };
    if (i == first_bad) put(first_kind);
    if (i == second_bad) put(second_kind);
  };
  const struct {
    int first, second;
    const char *first_kind, *second_kind;
  } cases[] = {{21000, 23000, "word", "short"}, {9000, 22000, "short", "word"}, {3, 20000, "long", "word"},
               {18000, 18001, "word", "word"}};
  for (const auto& c : cases) {
    first_bad = c.first;
    second_bad = c.second;
    first_kind = c.first_kind;
    second_kind = c.second_kind;
    const std::string what = load_error(data_text(spoil));
    const std::string line = "line " + std::to_string(line_of(c.first));
    EXPECT_NE(what.find(line), std::string::npos) << what;
    if (first_kind == "word") {
      EXPECT_NE(what.find("\"x\" in data file \"data.txt\", " + line + ", field 10, is not a number"),
                std::string::npos)
          << what;
    } else {
      EXPECT_NE(what.find("data row " + std::to_string(c.first) + " (" + line + ") holds " +
                          std::to_string(first_kind == "short" ? kColumns - 1 : kColumns + 1) + " values"),
                std::string::npos)
          << what;
    }
  }
}

// A left-out row is read only to its title, so a word later on its line is
// no error in whichever part it lies; nor is any row after the last selected one.
TEST_F(ParallelLoad, LeftOutRowsAreReadOnlyToTheirFirstNumber) {
  s.settings.ERS = "[15000,23000..24000]";
  const auto spoil = [](int i, std::string& line) {
    if (i == 15000 || i == 23500) line += " x";
  };
  qor_test::write_file("data.txt", data_text(spoil));
  load_data_matrix(s);
  EXPECT_EQ(s.table.N, kRows - 1 - 1001);
  EXPECT_EQ(s.table.A[s.table.N][kColumns], value(22999, kColumns));
}

}  // namespace
