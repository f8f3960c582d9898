// Reading numbers from data-file text, and loading a whole data file (2000 x
// 2000, and a tall 20,000 x 200) beside a plain strtold loop over the same
// text: the loader's MB/s against the C library's conversion alone.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "common/program_run.h"
#include "common/console.h"
#include "control/settings.h"
#include "input/loader.h"
#include "input/text_reader.h"
#include "bench_support.h"

namespace {

std::string random_table(int rows, int cols) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> dist(-10.0, 10.0);
  std::string text;
  char cell[32];
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < cols; ++j) {
      std::snprintf(cell, sizeof cell, j == 0 ? "%.6f" : " %.6f", dist(rng));
      text += cell;
    }
    text += "\r\n";
  }
  return text;
}

void ReadNumbers(benchmark::State& state) {
  const std::string text = random_table(500, 200);
  for (auto _ : state) {
    TextReader reader(text, "bench", "data file");
    REAL sum = 0;
    for (int i = 0; i < 500 * 200; ++i) sum += reader.read_number();
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.SetItemsProcessed(state.iterations() * 500 * 200);
}

// The same table with semicolons between the values and decimal commas.
void ReadSeparatedNumbers(benchmark::State& state) {
  std::string text = random_table(500, 200);
  for (char& c : text) c = c == ' ' ? ';' : c == '.' ? ',' : c;
  for (auto _ : state) {
    TextReader reader(text, "bench", "data file");
    reader.set_field_rules({';', true});
    REAL sum = 0;
    for (int i = 0; i < 500 * 200; ++i) sum += reader.read_number();
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.SetItemsProcessed(state.iterations() * 500 * 200);
}

// The whole loader on a rows x cols file (about 40 MB): counting, value and
// title passes, the selection tests and the allocation of A.
void LoadDataFile(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0)), m = static_cast<int>(state.range(1));
  const auto dir = std::filesystem::temp_directory_path() / ("qor-load-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto path = (dir / "data.txt").string();
  std::size_t bytes = 0;
  {
    const std::string text = random_table(n, m);
    bytes = text.size();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  for (auto _ : state) {
    ProgramRun s(silent_console());
    set_default_settings(s.settings);
    s.settings.AFNI = path;
    load_data_matrix(s);
    benchmark::DoNotOptimize(s.table.A[n][m]);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["maxrss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.counters["A_MB"] = static_cast<double>(n + 1) * (m + 1) * sizeof(REAL) / 1048576.0;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  std::filesystem::remove_all(dir);
}

// The same text read by strtold alone, a value at a time to its end.
void PlainStrtold(benchmark::State& state) {
  const std::string text = random_table(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    long double sum = 0;
    const char* at = text.c_str();
    for (char* end = nullptr;; at = end) {
      const long double x = std::strtold(at, &end);
      if (end == at) break;
      sum += x;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

}  // namespace

BENCHMARK(ReadNumbers)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadSeparatedNumbers)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadDataFile)->Args({2000, 2000})->Args({20000, 200})->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(PlainStrtold)->Args({2000, 2000})->Args({20000, 200})->Unit(benchmark::kMillisecond)->Iterations(2);
