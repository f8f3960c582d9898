// The library's call, bare: what the Python module adds to it is measured
// by bench/python_module_bench.py against these figures.
#include <benchmark/benchmark.h>

#include <random>

#include "library/library.h"

namespace {

qor::Table random_table(int n, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  qor::Table t;
  t.rows = t.columns = n;
  for (int k = 0; k < n * n; ++k) t.values.push_back(dist(rng));
  return t;
}

void LibraryEliminate(benchmark::State& state) {
  const qor::Table t = random_table(static_cast<int>(state.range(0)), 5);
  qor::Settings settings;
  settings.absolute_error = 0.002L;
  for (auto _ : state) {
    qor::Control control;
    benchmark::DoNotOptimize(qor::eliminate(t, settings, control).results.pivots.data());
  }
}
BENCHMARK(LibraryEliminate)->Arg(5)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
