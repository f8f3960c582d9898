// The thread count: QOR_THREADS, and that no count changes a byte of what a
// run writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "common/run_error.h"
#include "control/program.h"
#include "test_data.h"
#include "test_support.h"

namespace {

TEST(Threads, CountFromTheEnvironment) {
  const int fallback = thread_count(nullptr);
  EXPECT_GE(fallback, 1);
  EXPECT_LE(fallback, Workers::kMaxThreads);
  const struct {
    const char* value;
    int threads;  // 0: the fallback
  } cases[] = {{"1", 1}, {"4", 4}, {"007", 7}, {"256", 256}, {"", 0},    {"0", 0},    {"-2", 0},
               {"+2", 0}, {" 2", 0}, {"2 ", 0}, {"2.5", 0},  {"two", 0}, {"257", 0}, {"99999999999999999999", 0}};
  for (const auto& c : cases) EXPECT_EQ(thread_count(c.value), c.threads ? c.threads : fallback) << c.value;
}

// What a run leaves: every file it wrote, its console text (the elapsed time
// blanked) and its exit status; and how many loops it shared.
struct Outcome {
  std::map<std::string, std::string> files;
  std::string console;
  int status = 0;
  std::int64_t shared_loops = 0;
};

Outcome run(const std::string& data, std::vector<std::string> params, int threads, std::int64_t work_per_part) {
  qor_test::TempDir dir;
  qor_test::write_file("d.txt", data);
  qor_test::CapturedConsole captured;
  ProgramRun s(captured.console(), threads);
  s.workers.set_work_per_part(work_per_part);
  params.insert(params.begin(), "qor");
  Outcome o;
  try {
    o.status = run_program(s, params);
  } catch (const RunError& e) {
    o.status = e.number();
  }
  for (const auto& entry : std::filesystem::directory_iterator("."))
    if (entry.path().filename() != "d.txt") o.files[entry.path().filename()] = qor_test::read_file(entry.path());
  o.console = qor_test::without_time(captured.text());
  o.shared_loops = s.workers.shared_loops();
  return o;
}

// Every mode on matrices of odd shapes, with every loop shared among 2, 3
// and 4 threads in as many parts as it has iterations (up to 8 per thread):
// the same files, bytes and console text as on one thread.
TEST(Threads, EveryModeWritesTheSameBytesOnAnyNumberOfThreads) {
  const std::string matrices[] = {qor_test::matrix_text(37, 53, 0, 1), qor_test::matrix_text(101, 7, 0, 2), qor_test::matrix_text(64, 64, 3, 3)};
  const std::vector<std::vector<std::string>> modes = {
      {"d.txt,TG0.25", "o1", "S12:-1", "", "4"},  // four steps listed, statistics, histogram
      {"d.txt", "o2*", "S10:4", "0.01@2"},        // all steps, with errors
      {"d.txt,TG0.5", "o3*", "T", "0.01"},        // product matrix
      {"d.txt", "o4", "B12:4", "0.01"},           // eigenvalues of the product, tests, eigenvector check
      {"d.txt", "o5", "E"},                       // eigenvalues of the leading block, no errors
      {"d.txt", "o6*", "E", "0.02", "9"},         // nine eigenvalues with tests, no check
      {"d.txt,TW3", "t7"},                        // contribution tables of the rows
      {"d.txt,TW2,CRC", "t8"},                    // and of the columns
      {"d.txt,RANK", "o9*", "", "0.01"},          // rank verdict, error given
      {"d.txt,RANK", "o10*", "T"},                // rank verdict, noise estimated
  };
  for (const std::string& data : matrices)
    for (const auto& mode : modes) {
      const Outcome one = run(data, mode, 1, 0);
      ASSERT_EQ(one.status, 0) << mode[0] << " " << mode[1] << "\n" << one.console;
      EXPECT_EQ(one.shared_loops, 0);
      for (int threads : {2, 3, 4}) {
        const Outcome many = run(data, mode, threads, 0);
        EXPECT_GT(many.shared_loops, 0);
        EXPECT_EQ(many.status, one.status);
        EXPECT_EQ(many.console, one.console) << threads << " threads, " << mode[1];
        EXPECT_EQ(many.files.size(), one.files.size()) << threads << " threads, " << mode[1];
        for (const auto& [name, bytes] : one.files)
          EXPECT_TRUE(many.files.count(name) && many.files.at(name) == bytes) << threads << " threads, " << name;
      }
    }
}

// With the standing thresholds neither the bundled example nor a 100 x 100
// elimination with errors starts a thread, while the eigenvalue mode of a
// 90 x 70 matrix does (its eigenvalue variances take 70^3 element updates).
TEST(Threads, SmallRunsStayOnTheCallingThread) {
  const std::string example = qor_test::read_file(std::filesystem::path(QOR_SOURCE_DIR) / "examples/mixtures.txt");
  ASSERT_FALSE(example.empty());
  const std::int64_t standing = Workers::kDefaultWorkPerPart;
  EXPECT_EQ(run(example, {"d.txt,TOR,TOC", "m.out*", "S10:4", "0.002", "5"}, 4, standing).shared_loops, 0);
  EXPECT_EQ(run(example, {"d.txt,TOR,TOC", "e.out", "BE", "0.002"}, 4, standing).shared_loops, 0);
  EXPECT_EQ(run(qor_test::matrix_text(100, 100, 0, 4), {"d.txt,TG0.1", "o*", "S", "0.002"}, 2, standing).shared_loops, 0);
  EXPECT_GT(run(qor_test::matrix_text(90, 70, 0, 5), {"d.txt", "o", "E", "0.002", "3"}, 2, standing).shared_loops, 0);
}

// A tall matrix, far more rows than columns, with the standing thresholds:
// the product matrix and the elimination are shared between two threads and
// every byte written is the same as on one.
TEST(Threads, TallMatrixWritesTheSameBytesOnTwoThreads) {
  const std::string tall = qor_test::matrix_text(20000, 30, 0, 6);
  const std::int64_t standing = Workers::kDefaultWorkPerPart;
  const std::vector<std::vector<std::string>> modes = {
      {"d.txt", "e.out*", "S10:4", "0.002", "10"},  // elimination with errors, ten steps
      {"d.txt", "b.out", "B", "0.002", "10"},       // eigenvalues of the product with their tests
  };
  for (const auto& mode : modes) {
    const Outcome one = run(tall, mode, 1, standing);
    ASSERT_EQ(one.status, 0) << mode[1] << "\n" << one.console;
    const Outcome two = run(tall, mode, 2, standing);
    EXPECT_GT(two.shared_loops, 0) << mode[1];
    EXPECT_EQ(two.status, one.status);
    EXPECT_EQ(two.console, one.console) << mode[1];
    EXPECT_EQ(two.files, one.files) << mode[1];
  }
}

// An overflow stops the run at the same place and with the same line
// whatever the number of threads.
TEST(Threads, OverflowStopsTheSameWay) {
  const struct {
    std::string data;
    std::vector<std::string> params;
  } cases[] = {
      {"1e4932 1e4932 1\r\n-1e4932 1e4932 2\r\n3 4 5\r\n", {"d.txt", "o"}},
      {"1e2000 1e2000 3\r\n1e2000 -1e2000 1\r\n2 2 2\r\n", {"d.txt", "o*", "", "@1"}},
      {"1.1e2466 1 2\r\n2 1 3\r\n4 4 4\r\n", {"d.txt", "o", "B", "1"}},
      {"1e2000 1 5\r\n2 1e2000 4\r\n3 3 3\r\n", {"d.txt", "o", "T", "@1"}},
      {"2 1 0\r\n1 2 1\r\n0 1 2\r\n", {"d.txt", "o", "E", "1e-2467"}},
  };
  for (const auto& c : cases) {
    const Outcome one = run(c.data, c.params, 1, 0);
    EXPECT_EQ(one.status, kOverflow) << one.console;
    const Outcome three = run(c.data, c.params, 3, 0);
    EXPECT_EQ(three.status, one.status);
    EXPECT_EQ(three.console, one.console);
    EXPECT_EQ(three.files, one.files);
  }
}

}  // namespace
