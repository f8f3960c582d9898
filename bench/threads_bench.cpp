// Whole runs (data file read, analysis, report written) on one thread and on
// two, taken in turn within the same process, so that the ratio compares
// like with like when other work loads the machine now and then. Each case
// reports the best time of either (t1_ms, t2_ms) and their ratio
// t1_ms / t2_ms; the benchmark's own time is that of the two-thread runs.
// cpu_ratio is the processor time of the two-thread runs over that of the
// one-thread runs. Threads_Busy_* run the same beside one busy process per
// processor, so that two threads must not be slower than one (ratio >= 1).
// Threads_Ceiling tells what the machine gives at that time: the same x87
// loop, once alone and then twice at once on two threads; its ratio is 2 on
// two free processors and falls as other work takes them.
//   ./build/qor_bench --benchmark_filter=Threads
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/program_run.h"
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
    write_data_file(made / "r500.txt", 500, 500, false);
    write_data_file(made / "tall50.txt", 200000, 50, false);
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

struct Times {
  double wall, cpu;  // seconds; cpu is the process's, all its threads
};

double cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

Times run_times(const std::vector<std::string>& params, int threads) {
  ProgramRun s(silent_console(), threads);
  const double cpu = cpu_seconds();
  const auto start = std::chrono::steady_clock::now();
  run_program(s, params);
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), cpu_seconds() - cpu};
}

// Besides the best times and their ratio, cpu_ratio: the processor time of
// all threads of the two-thread runs over that of the one-thread runs.
void compare_threads(benchmark::State& state, const std::vector<std::string>& params) {
  const fs::path previous = fs::current_path();
  fs::current_path(bench_directory());
  double best1 = 1e300, best2 = 1e300, cpu1 = 0, cpu2 = 0;
  for (auto _ : state) {
    const Times one = run_times(params, 1);
    best1 = std::min(best1, one.wall);
    cpu1 += one.cpu;
    const Times two = run_times(params, 2);
    best2 = std::min(best2, two.wall);
    cpu2 += two.cpu;
    state.SetIterationTime(two.wall);
  }
  fs::current_path(previous);
  state.counters["t1_ms"] = best1 * 1000;
  state.counters["t2_ms"] = best2 * 1000;
  state.counters["ratio"] = best1 / best2;
  state.counters["cpu_ratio"] = cpu2 / cpu1;
}

// Competing work: one process per processor running an x87 loop, from the
// benchmark's start to its end, at the same priority as the benchmark.
class BusyProcesses {
 public:
  explicit BusyProcesses(unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
      const pid_t pid = fork();
      if (pid == 0) {
        volatile long double x = 1;
        for (;;) x = x * 1.0000001L + 1e-9L;
      }
      if (pid > 0) children_.push_back(pid);
    }
  }
  ~BusyProcesses() {
    for (const pid_t pid : children_) kill(pid, SIGKILL);
    for (const pid_t pid : children_) waitpid(pid, nullptr, 0);
  }
  BusyProcesses(const BusyProcesses&) = delete;
  BusyProcesses& operator=(const BusyProcesses&) = delete;

 private:
  std::vector<pid_t> children_;
};

void compare_threads_beside_busy_processes(benchmark::State& state, const std::vector<std::string>& params) {
  const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
  bench_directory();  // the data files are written before the competition starts
  BusyProcesses busy(processors);
  compare_threads(state, params);
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
// The heavy modes: the product mode with errors at 500 and 1000, every
// eigenvalue; 200,000 x 50 in the product mode with errors.
const std::vector<std::string> kProductError500 = {"", "r500.txt", "o.out*", "B", "0.002"};
const std::vector<std::string> kProductError1000 = {"", "r1000.txt", "o.out*", "B", "0.002"};
const std::vector<std::string> kTall50 = {"", "tall50.txt", "o.out*", "B", "0.002"};
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
void Threads_ProductError500(benchmark::State& state) { compare_threads(state, kProductError500); }
void Threads_ProductError1000(benchmark::State& state) { compare_threads(state, kProductError1000); }
void Threads_Tall50(benchmark::State& state) { compare_threads(state, kTall50); }
void Threads_Busy_EliminationError1000(benchmark::State& state) {
  compare_threads_beside_busy_processes(state, kEliminationError);
}
void Threads_Busy_ProductError500(benchmark::State& state) {
  compare_threads_beside_busy_processes(state, kProductError500);
}
void Threads_Busy_Tall50(benchmark::State& state) { compare_threads_beside_busy_processes(state, kTall50); }
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
BENCHMARK(Threads_ProductError500)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_ProductError1000)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_Tall50)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_Busy_EliminationError1000)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_Busy_ProductError500)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_Busy_Tall50)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_Elimination100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_EliminationError100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_EigenvalueError100)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_Example)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Threads_ExampleEigenvalue)->UseManualTime()->Unit(benchmark::kMillisecond);
