#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "common/number_text.h"

namespace {

// Ordinary report magnitudes: 1e-6 .. 1e6, both signs, full significands.
std::vector<REAL> ordinary_values() {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> exponent(-6.0, 6.0);
  std::vector<REAL> v(4096);
  for (auto& x : v) {
    x = std::pow(10.0L, static_cast<REAL>(exponent(rng))) * (1 + static_cast<REAL>(rng()) * 0x1p-70L);
    if ((rng() & 1) != 0) x = -x;
  }
  return v;
}

// Every magnitude of the type, subnormals included.
std::vector<REAL> extreme_values() {
  std::mt19937_64 rng(11);
  std::uniform_int_distribution<int> exponent(-16440, 16380);
  std::vector<REAL> v(4096);
  for (auto& x : v) x = std::ldexp(static_cast<REAL>(rng() | (1ULL << 63)), exponent(rng) - 63);
  return v;
}

void run_scientific(benchmark::State& state, const std::vector<REAL>& values) {
  const int width = static_cast<int>(state.range(0));
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(number_text::scientific(values[i], width));
    i = (i + 1) & (values.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
}

void run_fixed(benchmark::State& state, const std::vector<REAL>& values) {
  const int decimals = static_cast<int>(state.range(0));
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(number_text::fixed(values[i], decimals));
    i = (i + 1) & (values.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_Scientific(benchmark::State& state) {
  static const auto values = ordinary_values();
  run_scientific(state, values);
}
BENCHMARK(BM_Scientific)->Arg(10)->Arg(14)->Arg(25);

void BM_Fixed(benchmark::State& state) {
  static const auto values = ordinary_values();
  run_fixed(state, values);
}
BENCHMARK(BM_Fixed)->Arg(0)->Arg(4)->Arg(17);

void BM_ScientificExtreme(benchmark::State& state) {
  static const auto values = extreme_values();
  run_scientific(state, values);
}
BENCHMARK(BM_ScientificExtreme)->Arg(25);

void BM_ScientificPadded(benchmark::State& state) {
  static const auto values = ordinary_values();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(scientific_text(values[i], 14));
    i = (i + 1) & (values.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ScientificPadded);

}  // namespace
