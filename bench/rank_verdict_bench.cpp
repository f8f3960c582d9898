// The rank verdict against the eigenvalue mode with errors (product matrix,
// no eigenvector check) on the same matrices: rank 5 plus noise of 0.002,
// and full-rank noise, where the verdict must test the most components;
// with unequal errors also, where its residual tests are of weighted fits
// and its noise edge is drawn with random signs; and without the error on
// noise four times louder in every other row, where the random-sign copies
// give the lower end (up to their budget) and the data scaled to noise of
// one level may settle the range.
#include <benchmark/benchmark.h>

#include <random>

#include "analysis/qor.h"
#include "analysis_runs.h"
#include "verdict/rank_verdict.h"
#include "common/program_run.h"
#include "control/settings.h"
#include "control/run_driver.h"
#include "bench_support.h"
#include "test_data.h"

namespace {

struct NoisyRun {
  ProgramRun s;

  NoisyRun(int rows, int cols, int rank, double uneven = 1, int threads = 1) : s(silent_console(), threads) {
    set_default_settings(s.settings);
    qor_test::hold_matrix(s, rows, cols);
    s.settings.JEV = s.settings.ITRN = true;
    s.settings.MER = 0.002L;
    std::mt19937_64 rng(7);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<double> left(static_cast<std::size_t>(rows * rank)), right(static_cast<std::size_t>(cols * rank));
    for (auto& v : left) v = normal(rng);
    for (auto& v : right) v = normal(rng);
    for (int i = 1; i <= rows; ++i)
      for (int j = 1; j <= cols; ++j) {
        double x = 0.002 * normal(rng) * (i % 2 == 0 ? uneven : 1.0);
        for (int k = 0; k < rank; ++k) x += 0.1 * left[(i - 1) * rank + k] * right[(j - 1) * rank + k];
        s.table.A[i][j] = x;
      }
    prepare_run(s);
  }
};

// args: rows, columns, rank
void EigenvalueModeWithErrors(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    NoisyRun run(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
    state.ResumeTiming();
    qor_test::run_qor_silently(run.s, true, true, false, 0.002L, 0, 0);
    benchmark::DoNotOptimize(run.s.work.DE[1][1]);
  }
}

void RankVerdictWithError(benchmark::State& state) {
  NoisyRun run(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
  const RankSample sample = take_rank_sample(run.s.table, run.s.plan.JEV, 0.002L, 0);
  for (auto _ : state) benchmark::DoNotOptimize(judge_rank(sample, silent_console(), run.s.workers).low);
}

// Unequal errors (0.002 and 5 %): the residual tests are of weighted fits.
void RankVerdictRelativeError(benchmark::State& state) {
  NoisyRun run(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
  const RankSample sample = take_rank_sample(run.s.table, run.s.plan.JEV, 0.002L, 0.05L);
  for (auto _ : state) benchmark::DoNotOptimize(judge_rank(sample, silent_console(), run.s.workers).low);
}

void RankVerdictEstimated(benchmark::State& state) {
  NoisyRun run(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
  const RankSample sample = take_rank_sample(run.s.table, run.s.plan.JEV, 0, 0);
  for (auto _ : state) benchmark::DoNotOptimize(judge_rank(sample, silent_console(), run.s.workers).low);
}

// Without the error on uneven noise: the lower end from random-sign copies.
void RankVerdictEstimatedUnevenNoise(benchmark::State& state) {
  NoisyRun run(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)), 4);
  const RankSample sample = take_rank_sample(run.s.table, run.s.plan.JEV, 0, 0);
  for (auto _ : state) benchmark::DoNotOptimize(judge_rank(sample, silent_console(), run.s.workers).low);
}

// The same on two threads: the random-sign draws run side by side.
void RankVerdictEstimatedUnevenNoiseTwoThreads(benchmark::State& state) {
  NoisyRun run(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)), 4,
               2);
  const RankSample sample = take_rank_sample(run.s.table, run.s.plan.JEV, 0, 0);
  for (auto _ : state) benchmark::DoNotOptimize(judge_rank(sample, silent_console(), run.s.workers).low);
}

// The same two without the cross-validation (a budget of none): the
// difference is its cost.
void RankVerdictEstimatedNoCrossValidation(benchmark::State& state) {
  NoisyRun run(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
  RankSample sample = take_rank_sample(run.s.table, run.s.plan.JEV, 0, 0);
  sample.cross_validation_budget = 0;
  for (auto _ : state) benchmark::DoNotOptimize(judge_rank(sample, silent_console(), run.s.workers).low);
}

void RankVerdictEstimatedUnevenNoiseNoCrossValidation(benchmark::State& state) {
  NoisyRun run(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)), 4);
  RankSample sample = take_rank_sample(run.s.table, run.s.plan.JEV, 0, 0);
  sample.cross_validation_budget = 0;
  for (auto _ : state) benchmark::DoNotOptimize(judge_rank(sample, silent_console(), run.s.workers).low);
}

// The same uneven noise without the data scaled to noise of one level (its
// budget none): the difference is the scaling's cost.
void RankVerdictEstimatedUnevenNoiseNotEvened(benchmark::State& state) {
  NoisyRun run(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2)), 4);
  RankSample sample = take_rank_sample(run.s.table, run.s.plan.JEV, 0, 0);
  sample.evened_noise_budget = 0;
  for (auto _ : state) benchmark::DoNotOptimize(judge_rank(sample, silent_console(), run.s.workers).low);
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({60, 60, 5})->Args({60, 60, 0})->Args({300, 200, 5})->Args({500, 500, 5})->Args({500, 500, 0})->Args({1000, 1000, 5});
  b->Unit(benchmark::kMillisecond)->Iterations(1);
}

}  // namespace

BENCHMARK(EigenvalueModeWithErrors)->Apply(Sizes);
BENCHMARK(RankVerdictWithError)->Apply(Sizes);
BENCHMARK(RankVerdictRelativeError)->Apply(Sizes);
BENCHMARK(RankVerdictEstimated)->Apply(Sizes);
BENCHMARK(RankVerdictEstimatedUnevenNoise)->Apply(Sizes);
BENCHMARK(RankVerdictEstimatedUnevenNoiseTwoThreads)->Apply(Sizes);
BENCHMARK(RankVerdictEstimatedNoCrossValidation)->Apply(Sizes);
BENCHMARK(RankVerdictEstimatedUnevenNoiseNoCrossValidation)->Apply(Sizes);
BENCHMARK(RankVerdictEstimatedUnevenNoiseNotEvened)->Apply(Sizes);
