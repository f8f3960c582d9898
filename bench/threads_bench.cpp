// Whole runs (data file read, analysis, report written) on one thread and on
// two, taken in turn within the same process, so that the ratio compares
// like with like when other work loads the machine now and then. Each case
// reports the best time of either (t1_ms, t2_ms) and their ratio
// t1_ms / t2_ms; the benchmark's own time is that of the two-thread runs.
// Threads_Ceiling tells what the machine gives at that time: the same x87
// loop, once alone and then twice at once on two threads; its ratio is 2 on
// two free processors and falls as other work takes them.
//   ./build/qor_bench --benchmark_filter=Threads
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/run_state.h"
#include "control/program.h"
#include "bench_support.h"

namespace {

namespace fs = std::filesystem;

// Random values in -1..1 with six decimals, rows x cols; symmetric when
// asked (for the eigenvalue mode, which takes the matrix itself).
void write_data_file(const fs::path& path, int rows, int cols, bool symmetric) {
  std::mt19937_64 rng(static_cast<unsigned>(rows));
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> a(static_cast<std::size_t>(rows) * cols);
  for (double& x : a) x = dist(rng);
  if (symmetric)
    for (int i = 0; i < rows; ++i)
      for (int j = 0; j < i; ++j) a[static_cast<std::size_t>(j) * cols + i] = a[static_cast<std::size_t>(i) * cols + j];
  std::FILE* f = std::fopen(path.c_str(), "wb");
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < cols; ++j) std::fprintf(f, j == 0 ? "%.6f" : " %.6f", a[static_cast<std::size_t>(i) * cols + j]);
    std::fputs("\r\n", f);
  }
  std::fclose(f);
}

// A working directory of its own holding the data files, made once.
const fs::path& bench_directory() {
  static const fs::path dir = [] {
    std::string pattern = (fs::temp_directory_path() / "qor-bench-XXXXXX").string();
    const fs::path made = mkdtemp(pattern.data());
    for (int n : {100, 1000}) {
      write_data_file(made / ("r" + std::to_string(n) + ".txt"), n, n, false);
      write_data_file(made / ("s" + std::to_string(n) + ".txt"), n, n, true);
    }
    write_data_file(made / "tall.txt", 20000, 200, false);
    fs::copy_file(fs::path(QOR_SOURCE_DIR) / "examples" / "mixtures.txt", made / "mixtures.txt");
    return made;
  }();
  return dir;
}

double run_seconds(const std::vector<std::string>& params, int threads) {
  RunState s(silent_console(), threads);
  const auto start = std::chrono::steady_clock::now();
  run_program(s, params);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void compare_threads(benchmark::State& state, const std::vector<std::string>& params) {
  const fs::path previous = fs::current_path();
  fs::current_path(bench_directory());
  double best1 = 1e300, best2 = 1e300;
  for (auto _ : state) {
    best1 = std::min(best1, run_seconds(params, 1));
    const double two = run_seconds(params, 2);
    best2 = std::min(best2, two);
    state.SetIterationTime(two);
  }
  fs::current_path(previous);
  state.counters["t1_ms"] = best1 * 1000;
  state.counters["t2_ms"] = best2 * 1000;
  state.counters["ratio"] = best1 / best2;
}

// A chain of x87 multiplications and additions that stays in registers.
REAL spin(long count) {
  REAL x = 1;
  for (long i = 0; i < count; ++i) x = x * 1.0000001L + 1e-9L;
  return x;
}

void Threads_Ceiling(benchmark::State& state) {
  constexpr long kCount = 20000000;
  double best1 = 1e300, best2 = 1e300;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(spin(kCount));
    best1 = std::min(best1, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    start = std::chrono::steady_clock::now();
    std::thread other([] { benchmark::DoNotOptimize(spin(kCount)); });
    benchmark::DoNotOptimize(spin(kCount));
    other.join();
    const double two = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    best2 = std::min(best2, two);
    state.SetIterationTime(two);
  }
  state.counters["t1_ms"] = best1 * 1000;
  state.counters["t2_ms"] = best2 * 1000;
  state.counters["ratio"] = 2 * best1 / best2;
}

const std::vector<std::string> kEliminationPlain = {"", "r1000.txt", "o.out*"};
const std::vector<std::string> kEliminationError = {"", "r1000.txt", "o.out*", "", "0.002"};
const std::vector<std::string> kEigenvalueError = {"", "s1000.txt", "o.out*", "E", "0.002"};
// 20,000 x 200: the elimination of ten steps, and the eigenvalue mode of the
// product matrix with every eigenvalue's residual test.
const std::vector<std::string> kTallElimination = {"", "tall.txt", "o.out*", "", "0.002", "10"};
const std::vector<std::string> kTallEigenvalue = {"", "tall.txt", "o.out*", "B", "0.002"};
const std::vector<std::string> kSmallPlain = {"", "r100.txt", "o.out*"};
const std::vector<std::string> kSmallError = {"", "r100.txt", "o.out*", "", "0.002"};
const std::vector<std::string> kSmallEigenvalue = {"", "s100.txt", "o.out*", "E", "0.002"};
const std::vector<std::string> kExample = {"", "mixtures.txt,TOR,TOC", "mixtures.out*", "S10:4", "0.002", "5"};
const std::vector<std::string> kExampleEigenvalue = {"", "mixtures.txt,TOR,TOC", "eig.txt", "BE", "0.002"};

void Threads_Elimination1000(benchmark::State& state) { compare_threads(state, kEliminationPlain); }
void Threads_EliminationError1000(benchmark::State& state) { compare_threads(state, kEliminationError); }
void Threads_EigenvalueError1000(benchmark::State& state) { compare_threads(state, kEigenvalueError); }
void Threads_TallElimination(benchmark::State& state) { compare_threads(state, kTallElimination); }
void Threads_TallEigenvalue(benchmark::State& state) { compare_threads(state, kTallEigenvalue); }
void Threads_Elimination100(benchmark::State& state) { compare_threads(state, kSmallPlain); }
void Threads_EliminationError100(benchmark::State& state) { compare_threads(state, kSmallError); }
void Threads_EigenvalueError100(benchmark::State& state) { compare_threads(state, kSmallEigenvalue); }
void Threads_Example(benchmark::State& state) { compare_threads(state, kExample); }
void Threads_ExampleEigenvalue(benchmark::State& state) { compare_threads(state, kExampleEigenvalue); }

}  // namespace

BENCHMARK(Threads_Ceiling)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_Elimination1000)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_EliminationError1000)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_EigenvalueError1000)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_TallElimination)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_TallEigenvalue)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_Elimination100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_EliminationError100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_EigenvalueError100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_Example)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_ExampleEigenvalue)->UseManualTime()->Unit(benchmark::kMillisecond);
