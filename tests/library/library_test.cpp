// The library: analyses of tables in memory and from files, results as
// values, refusals as run-time errors, a stop from another thread, and two
// calls at once that share nothing.
#include "library/library.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "common/console.h"
#include "common/run_error.h"
#include "library/table_of.h"
#include "test_data.h"
#include "test_support.h"

namespace {

using qor_test::table_of;

qor::Table table(std::int32_t rows, std::int32_t columns, std::vector<REAL> values) {
  return table_of(rows, columns, std::move(values));
}

int refusal(const qor::Table& t, const qor::Settings& settings) {
  qor::Control control;
  try {
    qor::eliminate(t, settings, control);
    return 0;
  } catch (const RunError& e) {
    return e.number();
  }
}

// 2 1 / 1 3: the largest element 3 (row 2, column 2) first, then the
// remainder 2 - 1 x 1 / 3 = 5/3.
TEST(Library, EliminationOfATableInMemory) {
  qor::Control control;
  qor::Settings settings;
  settings.absolute_error = 0.01L;
  const qor::Run run = qor::eliminate(table(2, 2, {2, 1, 1, 3}), settings, control);
  ASSERT_TRUE(run.results.ran);
  ASSERT_EQ(run.results.pivots.size(), 2u);
  EXPECT_EQ(run.results.pivots[0].value, 3);
  EXPECT_EQ(run.results.pivots[1].value, 2 - 1 * (1 / 3.0L));
  EXPECT_EQ(run.results.pivots[0].row.number, 2);
  EXPECT_EQ(run.results.pivots[1].column.number, 1);
  EXPECT_EQ(run.results.pivots[0].variance, 0.01L * 0.01L);
  EXPECT_EQ(control.stage, qor::kDone);
  EXPECT_NE(run.results_json.find("\"steps_done\": 2"), std::string::npos) << run.results_json;
  EXPECT_NE(run.picture.find("Elimination pivots"), std::string::npos);
  EXPECT_TRUE(run.warnings.empty());
}

TEST(Library, TitlesTravelWithTheirRowsAndColumns) {
  qor::Control control;
  qor::Table t = table(2, 2, {2, 1, 1, 3});
  t.row_labels.texts = {"first", "second"};
  t.column_labels.titles = {400, 450};
  const qor::Run run = qor::eliminate(t, qor::Settings{}, control);
  EXPECT_EQ(run.results.pivots[0].row.text, std::optional<std::string>("second"));
  EXPECT_EQ(run.results.pivots[0].column.title, 450);
  EXPECT_NE(run.results_json.find("\"row_title\": \"second\""), std::string::npos) << run.results_json;
}

TEST(Library, RefusalsAreRunErrors) {
  const REAL nan = std::numeric_limits<REAL>::quiet_NaN();
  qor::Settings bad_error;
  bad_error.absolute_error = -1;
  qor::Settings steps;
  steps.steps = 3;
  qor::Table labelled = table(2, 2, {1, 2, 3, 4});
  labelled.row_labels.titles = {1};
  const struct {
    qor::Table t;
    qor::Settings settings;
    int status;
  } cases[] = {
      {table(2, 2, {1, nan, 3, 4}), {}, 106}, {table(1, 2, {1, std::numeric_limits<REAL>::infinity()}), {}, 106},
      {table(0, 3, {}), {}, kNothingToAnalyse}, {table(2, 2, {1, 2, 3}), {}, kSettingOutOfRange},
      {table(2, 2, {1, 2, 3, 4}), bad_error, kSettingOutOfRange}, {table(2, 2, {1, 2, 3, 4}), steps, kSettingOutOfRange},
      {labelled, {}, kSettingOutOfRange},
  };
  for (const auto& c : cases) EXPECT_EQ(refusal(c.t, c.settings), c.status);
  try {
    qor::Control control;
    qor::eliminate(table(2, 2, {1, nan, 3, 4}), qor::Settings{}, control);
  } catch (const RunError& e) {
    EXPECT_EQ(e.report_line(),
              "Runtime error 106: the table's value in row 1, column 2 is not a number (NaN); every value must be a "
              "finite number.");
  }
}

// The verdict alone, of a matrix of rank 1 with noise far below its edge.
TEST(Library, VerdictAlone) {
  qor::Control control;
  qor::Settings settings;
  settings.absolute_error = 1e-6L;
  std::vector<REAL> values;
  std::mt19937 random(7);
  std::normal_distribution<double> noise(0, 1e-6);
  for (int i = 1; i <= 6; ++i)
    for (int j = 1; j <= 5; ++j) values.push_back(i * j + noise(random));
  const qor::Run run = qor::rank(table(6, 5, values), settings, control);
  ASSERT_TRUE(run.verdict);
  EXPECT_EQ(run.verdict->low, 1);
  EXPECT_EQ(run.verdict->high, 1);
  EXPECT_FALSE(run.results.ran);
  ASSERT_GE(run.verdict_lines.size(), 2u);
  EXPECT_EQ(run.verdict_lines[0], "Rank verdict");
  EXPECT_EQ(run.verdict_lines[1], "Rank: 1");
}

TEST(Library, AStopAskedForBeforeOrDuringTheRun) {
  qor::Control before;
  before.stop = true;
  const qor::Table big = table(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 10});
  try {
    qor::eigen(big, qor::Settings{}, before);
    FAIL() << "not stopped";
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), kStoppedByCaller);
  }
  // A stop asked for once the analysis has begun ends it at its next loop.
  qor::Control during;
  qor::Table t;
  t.rows = t.columns = 120;
  for (int k = 0; k < 120 * 120; ++k) t.values.push_back((k * 7919 % 1000) / 1000.0L);
  std::thread watcher([&] {
    while (during.stage.load() < qor::kAnalysing) std::this_thread::yield();
    during.stop = true;
  });
  int status = 0;
  try {
    qor::eigen(t, qor::Settings{}, during);
  } catch (const RunError& e) {
    status = e.number();
  }
  watcher.join();
  EXPECT_EQ(status, kStoppedByCaller);
  EXPECT_NE(during.stage.load(), qor::kDone);
}

// Two calls at once in two threads give what each gives alone.
TEST(Library, TwoCallsAtOnceShareNothing) {
  qor::Settings settings;
  settings.absolute_error = 0.001L;
  settings.verdict = true;
  std::vector<qor::Table> tables;
  for (int n : {30, 40}) {
    qor::Table t;
    t.rows = n;
    t.columns = n - 5;
    for (int k = 0; k < t.rows * t.columns; ++k) t.values.push_back(((k * 104729 + n) % 997) / 997.0L);
    tables.push_back(t);
  }
  std::vector<std::string> alone, together(2);
  for (const auto& t : tables) {
    qor::Control control;
    alone.push_back(qor::eigen(t, settings, control).results_json);
  }
  std::vector<std::thread> threads;
  for (int k = 0; k < 2; ++k)
    threads.emplace_back([&, k] {
      qor::Control control;
      together[static_cast<std::size_t>(k)] = qor::eigen(tables[static_cast<std::size_t>(k)], settings, control).results_json;
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(together, alone);
}

TEST(Library, TablesFromAFileWithEveryOptionOfTheLoader) {
  qor_test::TempDir dir;
  qor_test::write_file("d.csv", "Sample;400;450;500\r\nS1;1,5;2;3\r\nS2;4;5;6\r\nS3;7;8;9,5\r\n");
  qor::LoadOptions options;
  options.row_titles = options.column_titles = true;
  options.separator = ';';
  options.decimal_comma = true;
  options.rows_left_out = "[2]";
  options.columns_left_out = "[1]";
  const qor::Table t = qor::load_table("d.csv", options);
  EXPECT_EQ(t.rows, 2);
  EXPECT_EQ(t.columns, 2);
  EXPECT_EQ(t.values, (std::vector<REAL>{2, 3, 8, 9.5L}));
  EXPECT_EQ(t.row_labels.numbers, (std::vector<std::int64_t>{1, 3}));
  EXPECT_EQ(t.row_labels.texts, (std::vector<std::string>{"S1", "S3"}));
  EXPECT_EQ(t.column_labels.titles, (std::vector<REAL>{450, 500}));
  try {
    qor::load_table("missing.txt", qor::LoadOptions{});
    FAIL();
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), 2);
  }
}

TEST(Library, TheLibrarysConsoleKeepsPausesAndWarningsAndWaitsForNobody) {
  std::vector<std::string> log;
  Console console(log);
  console.show_and_wait({"Pause in Gcf - a too large, itmax too small"});
  console.warn("a warning");
  console.write_line("dropped");
  EXPECT_EQ(log, (std::vector<std::string>{"Pause in Gcf - a too large, itmax too small", "a warning"}));
}

}  // namespace
