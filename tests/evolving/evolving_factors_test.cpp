// Evolving factor analysis: the windows' singular values against numpy's
// SVD of the same rows (double precision, worked out apart), series whose
// components appear and disappear at rows known by construction, the
// counts' confidence, the work counted and the same results on any number
// of threads.
#include "evolving/evolving_factors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/pause.h"
#include "common/run_error.h"
#include "common/workers.h"

namespace {

struct NoPause final : Pause {
  void show_lines_and_wait(std::span<const std::string_view>) override {}
};

// A(i, j) = ((3 i + 5 j^2) mod 11 - 5) / 4: quarters, exact in binary.
MATRIX quarters(int N, int M) {
  MATRIX A(N + 1, M + 1);
  for (int i = 1; i <= N; ++i)
    for (int j = 1; j <= M; ++j) A[i][j] = REAL((3 * i + 5 * j * j) % 11 - 5) / 4;
  return A;
}

// numpy.linalg.svd of rows first..last of quarters(7, 4).
struct Expected {
  int first, last;
  std::vector<double> singular;
};
const std::vector<Expected> kNumpy = {
    {1, 1, {1.2990381056766578}},
    {1, 2, {1.7604376644797453, 1.2096938577512493}},
    {1, 3, {2.0267294353246994, 1.677716790584191, 0.8382327639625554}},
    {1, 4, {2.027721505865458, 1.9584211218952587, 1.385841247621288, 0.08588504151890408}},
    {1, 5, {2.341257222236659, 1.9695738707411385, 1.453611905230299, 0.46239140994529343}},
    {1, 6, {2.6069014868441105, 2.2961038098296607, 1.5252357138453498, 0.6466281385667861}},
    {1, 7, {2.822623107419474, 2.4378866917806725, 1.7094585672997673, 0.854259139948617}},
    {2, 7, {2.8223302366003384, 2.0813776074918886, 1.704984936476377, 0.8187463935746291}},
    {3, 7, {2.476615589555883, 2.0184640948574786, 1.482729516884975, 0.7705135294710855}},
    {4, 7, {2.4761404433149945, 1.6636607073663296, 0.8729598642613875, 0.5257400794441343}},
    {5, 7, {2.1628871299628947, 1.6251858130766537, 0.606786895058923}},
    {6, 7, {2.138523214986875, 1.140928770328016}},
    {7, 7, {1.6583123951777}},
    {2, 4, {1.9762042743295931, 1.7351998257044845, 1.1274742706583478}},
    {3, 5, {1.999826675044605, 1.6023689945015949, 0.7470655093363547}},
    {4, 6, {1.9766461412225742, 1.5920478979101722, 0.863570219003477}},
    {2, 6, {2.569080576332338, 1.995440594950754, 1.4602887325634657, 0.6407797140068254}},
};

const Expected* expected_for(int first, int last) {
  for (const Expected& e : kNumpy)
    if (e.first == first && e.last == last) return &e;
  return nullptr;
}

void expect_numpy(const std::vector<WindowCount>& windows) {
  for (const WindowCount& w : windows) {
    const Expected* e = expected_for(w.first, w.last);
    if (e == nullptr) continue;
    ASSERT_EQ(w.singular.size(), e->singular.size() + 1) << w.first << ".." << w.last;
    for (std::size_t k = 0; k < e->singular.size(); ++k)
      EXPECT_NEAR(static_cast<double>(w.singular[k + 1]), e->singular[k], 1e-13)
          << "rows " << w.first << ".." << w.last << ", value " << k + 1;
  }
}

TEST(EvolvingFactors, GrowingWindowsMatchNumpy) {
  const MATRIX A = quarters(7, 4);
  NoPause pause;
  Workers workers(1);
  EvolvingFactors work;
  const EvolvingSettings plain;
  const auto forward = growing_windows(A, 7, 4, false, plain, work, pause, workers);
  const auto backward = growing_windows(A, 7, 4, true, plain, work, pause, workers);
  ASSERT_EQ(forward.size(), 7u);
  ASSERT_EQ(backward.size(), 7u);
  for (int i = 1; i <= 7; ++i) {
    EXPECT_EQ(forward[i - 1].first, 1);
    EXPECT_EQ(forward[i - 1].last, i);
    EXPECT_EQ(backward[i - 1].first, i);
    EXPECT_EQ(backward[i - 1].last, 7);
  }
  expect_numpy(forward);
  expect_numpy(backward);
  // One product update per row and one decomposition per window, each way.
  EXPECT_EQ(work.row_updates, 14);
  EXPECT_EQ(work.decompositions, 14);
}

// Narrower than the matrix is wide (rows' products, updated) and not.
TEST(EvolvingFactors, MovingWindowsMatchNumpyOnBothPaths) {
  const MATRIX A = quarters(7, 4);
  NoPause pause;
  Workers workers(1);
  for (const int w : {3, 5}) {
    EvolvingFactors work;
    const auto windows = moving_windows(A, 7, 4, w, 1, 8 - w, EvolvingSettings{}, work, pause, workers);
    ASSERT_EQ(windows.size(), static_cast<std::size_t>(8 - w));
    for (std::size_t i = 0; i < windows.size(); ++i) {
      EXPECT_EQ(windows[i].first, static_cast<int>(i) + 1);
      EXPECT_EQ(windows[i].last, static_cast<int>(i) + w);
    }
    expect_numpy(windows);
    EXPECT_EQ(work.decompositions, 8 - w);
    // The narrow path forms the first window's rows and one new row a
    // window; the wide one sums every window's rows.
    EXPECT_EQ(work.row_updates, w < 4 ? w + (7 - w) : w * (8 - w));
  }
  EvolvingFactors work;
  EXPECT_TRUE(moving_windows(A, 7, 4, 3, 1, 6, EvolvingSettings{}, work, pause, workers).empty())
      << "a window past the last row";
}

// Two components with box profiles: component 1 in rows 3..10, component 2
// in rows 6..14, of 18; spectra (1, 2, 0, 1, 1) and (0, 1, 3, -1, 2).
// Optionally a pseudo-noise of the given level.
MATRIX two_boxes(REAL noise) {
  const REAL s1[] = {1, 2, 0, 1, 1}, s2[] = {0, 1, 3, -1, 2};
  MATRIX A(19, 6);
  for (int i = 1; i <= 18; ++i)
    for (int j = 1; j <= 5; ++j) {
      const REAL c1 = i >= 3 && i <= 10 ? 1 : 0, c2 = i >= 6 && i <= 14 ? 1 : 0;
      A[i][j] = c1 * s1[j - 1] + c2 * s2[j - 1] + noise * (REAL((i * 37 + j * 91) % 101) / 50.5L - 1);
    }
  return A;
}

struct BoxCase {
  const char* name;
  REAL noise, ER, ERPR;
  bool error_given;
};

TEST(EvolvingFactors, BoxProfilesAppearAndDisappearAtTheirRows) {
  const BoxCase cases[] = {
      {"exact data, small error", 0, 1e-6L, 0, true},
      {"noise, its error given", 1e-3L, 1e-3L, 0, true},
      {"noise, its error given with a minus sign", 1e-3L, -1e-3L, 0, true},
      {"noise, error estimated", 1e-3L, 0, 0, false},
      {"exact data, relative and absolute error", 0, 1e-6L, 1e-4L, true},
  };
  for (const BoxCase& c : cases) {
    SCOPED_TRACE(c.name);
    const MATRIX A = two_boxes(c.noise);
    NoPause pause;
    Workers workers(1);
    EvolvingSettings x;
    x.ER = c.ER;
    x.ERPR = c.ERPR;
    const EvolvingFactors f = evolving_factors(A, 18, 5, x, pause, workers);
    ASSERT_EQ(f.components.size(), 2u);
    const ComponentRows& first = f.components[0];
    const ComponentRows& second = f.components[1];
    EXPECT_EQ(first.appears_low, 3);
    EXPECT_EQ(first.appears_high, 3);
    EXPECT_EQ(second.appears_low, 6);
    EXPECT_EQ(second.appears_high, 6);
    EXPECT_EQ(first.disappears_low, 10);
    EXPECT_EQ(first.disappears_high, 10);
    EXPECT_EQ(second.disappears_low, 14);
    EXPECT_EQ(second.disappears_high, 14);
    // Counts: none before row 3, one to row 5, two from row 6 on.
    for (const WindowCount& w : f.forward) {
      const int expected = w.last < 3 ? 0 : w.last < 6 ? 1 : 2;
      EXPECT_EQ(w.low, expected) << "forward to row " << w.last;
      EXPECT_EQ(w.high, expected) << "forward to row " << w.last;
    }
    // The default window: twice two components and one.
    EXPECT_EQ(f.window, 5);
    EXPECT_TRUE(f.window_default);
    ASSERT_EQ(f.moving.size(), 14u);
    // A window's count is the rank of its rows' amounts: rows 6..10 hold
    // both components at the same amount, one dimension.
    const auto kinds = [](int first, int last) {
      bool first_only = false, both = false, second_only = false;
      for (int i = first; i <= last; ++i) {
        const bool a = i >= 3 && i <= 10, b = i >= 6 && i <= 14;
        first_only = first_only || (a && !b);
        both = both || (a && b);
        second_only = second_only || (!a && b);
      }
      return std::min(2, int(first_only) + int(both) + int(second_only));
    };
    for (const WindowCount& w : f.moving) {
      const int present = kinds(w.first, w.last);
      EXPECT_EQ(w.low, present) << "window " << w.first << ".." << w.last;
      EXPECT_EQ(w.high, present) << "window " << w.first << ".." << w.last;
    }
    EXPECT_EQ(f.noise.error_given, c.error_given);
  }
}

// A window's noise edge with relative errors: sqrt(largest row sum) +
// sqrt(largest column sum) of its element variances (0.1 x element)^2, for
// rows 1..2 of quarters(7, 4) worked out by hand: row sums 0.016875 and
// 0.02875, column sums 0.02125, 0.010625, 0.003125, 0.010625.
TEST(EvolvingFactors, WindowEdgeFromElementVariances) {
  const MATRIX A = quarters(7, 4);
  NoPause pause;
  Workers workers(1);
  EvolvingFactors work;
  EvolvingSettings x;
  x.ERPR = 0.1L;
  const auto forward = growing_windows(A, 7, 4, false, x, work, pause, workers);
  EXPECT_NEAR(static_cast<double>(forward[1].edge), std::sqrt(0.02875) + std::sqrt(0.02125), 1e-15);
  EXPECT_FALSE(forward[1].equal_errors);
  x.ERPR = 0;
  x.ER = 0.5L;
  const auto equal = growing_windows(A, 7, 4, false, x, work, pause, workers);
  // Equal errors: sigma (sqrt(n) + sqrt(M)) = 0.5 (sqrt(3) + 2) for 3 rows.
  EXPECT_NEAR(static_cast<double>(equal[2].edge), 0.5 * (std::sqrt(3.0) + 2), 1e-15);
  EXPECT_TRUE(equal[2].equal_errors);
}

// The count of one window of 10 x 10 with sigma = 1: the edge of the noise
// left after one component is sqrt(9) + sqrt(9) = 6; the 95 % point of the
// largest noise value of 9 x 9 lies near sqrt(39), its 99 % point near
// sqrt(45): a second value of 6.1 passes the edge but not those points.
TEST(EvolvingFactors, CountsStateTheirConfidence) {
  struct Case {
    REAL second;
    int low, high;
  };
  const Case cases[] = {{3, 1, 1}, {6.1L, 1, 2}, {9, 2, 2}};
  for (const Case& c : cases) {
    std::vector<WindowCount> one(1);
    one[0].first = 1;
    one[0].last = 10;
    one[0].singular = {0, 100, c.second, 1, 0.5L};
    one[0].edge = 1 * (std::sqrt(REAL(10)) + std::sqrt(REAL(10)));
    EvolvingNoise noise;
    noise.error_given = true;
    count_components(one, 10, noise);
    EXPECT_EQ(one[0].low, c.low) << static_cast<double>(c.second);
    EXPECT_EQ(one[0].high, c.high) << static_cast<double>(c.second);
  }
}

TEST(EvolvingFactors, ComponentRowsFromCountRanges) {
  // Forward counts (low, high) to rows 1..5, backward from rows 1..5.
  // Row 1's "may be one" is noise: the count falls back at row 2.
  const int forward[5][2] = {{0, 1}, {0, 0}, {0, 1}, {1, 2}, {2, 2}};
  const int backward[5][2] = {{2, 2}, {2, 2}, {2, 2}, {1, 2}, {1, 1}};
  std::vector<WindowCount> f(5), b(5);
  for (int i = 0; i < 5; ++i) {
    f[i].first = 1;
    f[i].last = i + 1;
    f[i].low = forward[i][0];
    f[i].high = forward[i][1];
    b[i].first = i + 1;
    b[i].last = 5;
    b[i].low = backward[i][0];
    b[i].high = backward[i][1];
  }
  const auto rows = component_rows(f, b, 2);
  ASSERT_EQ(rows.size(), 2u);
  // The first to appear (rows 3..4) is the first to disappear (3..4).
  EXPECT_EQ(rows[0].appears_low, 3);
  EXPECT_EQ(rows[0].appears_high, 4);
  EXPECT_EQ(rows[0].disappears_low, 3);
  EXPECT_EQ(rows[0].disappears_high, 4);
  EXPECT_EQ(rows[1].appears_low, 4);
  EXPECT_EQ(rows[1].appears_high, 5);
  EXPECT_EQ(rows[1].disappears_low, 5);
  EXPECT_EQ(rows[1].disappears_high, 5);
  // A third component the counts never show with confidence.
  const auto three = component_rows(f, b, 3);
  EXPECT_EQ(three[2].appears_low, 0);
  EXPECT_EQ(three[2].appears_high, 0);
}

TEST(EvolvingFactors, DefaultWindow) {
  EXPECT_EQ(default_window(0, 100), 3);
  EXPECT_EQ(default_window(1, 100), 3);
  EXPECT_EQ(default_window(4, 100), 9);
  EXPECT_EQ(default_window(4, 6), 6);
  EXPECT_EQ(default_window(0, 2), 2);
}

// A wide matrix (M > rows of a moving window) and a tall one, with errors
// and without, on one thread and on three with every loop shared.
TEST(EvolvingFactors, SameResultsOnAnyNumberOfThreads) {
  MATRIX A(41, 31);
  for (int i = 1; i <= 40; ++i)
    for (int j = 1; j <= 30; ++j)
      A[i][j] = std::exp(-REAL((i - 15) * (i - 15)) / 20) * std::sin(0.1L * j) +
                std::exp(-REAL((i - 25) * (i - 25)) / 30) * std::cos(0.2L * j) +
                0.01L * (REAL((i * 37 + j * 91) % 101) / 50.5L - 1);
  for (const REAL ER : {REAL(0), REAL(0.01L)}) {
    for (const int window : {0, 35}) {
      NoPause pause;
      Workers one(1), three(3);
      three.set_work_per_part(0);
      EvolvingSettings x;
      x.ER = ER;
      x.window = window;
      const EvolvingFactors a = evolving_factors(A, 40, 30, x, pause, one);
      const EvolvingFactors b = evolving_factors(A, 40, 30, x, pause, three);
      ASSERT_GT(three.shared_loops(), 0);
      const auto same = [](const std::vector<WindowCount>& u, const std::vector<WindowCount>& v) {
        ASSERT_EQ(u.size(), v.size());
        for (std::size_t i = 0; i < u.size(); ++i) {
          EXPECT_EQ(u[i].singular, v[i].singular);
          EXPECT_EQ(u[i].edge, v[i].edge);
          EXPECT_EQ(u[i].low, v[i].low);
          EXPECT_EQ(u[i].high, v[i].high);
        }
      };
      same(a.forward, b.forward);
      same(a.backward, b.backward);
      same(a.moving, b.moving);
      EXPECT_EQ(a.noise.sigma, b.noise.sigma);
      EXPECT_EQ(a.decompositions, 2 * 40 + static_cast<std::int64_t>(a.moving.size()));
    }
  }
}

// The overflow of one window stops the analysis with its status and message
// on any number of threads: here the rows from 31 on overflow, so where the
// windows are shared out the later runs of windows fail while the earlier
// ones succeed.
TEST(EvolvingFactors, OverflowStopsWithItsStatus) {
  MATRIX small(3, 3);
  small[1][1] = small[2][2] = 1e4000L;
  small[1][2] = 1;
  MATRIX late = quarters(40, 30);
  for (int j = 1; j <= 30; ++j) late[31][j] = 1e2500L * j;
  struct Case {
    const MATRIX* A;
    int N, M, threads;
  };
  std::string first_message;
  for (const Case c : {Case{&small, 2, 2, 1}, Case{&late, 40, 30, 1}, Case{&late, 40, 30, 3}}) {
    NoPause pause;
    Workers workers(c.threads);
    workers.set_work_per_part(0);
    try {
      evolving_factors(*c.A, c.N, c.M, EvolvingSettings{}, pause, workers);
      ADD_FAILURE() << "no overflow on " << c.N << " x " << c.M;
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), kOverflow);
      if (c.A == &late && c.threads == 1) first_message = e.what();
      if (c.threads == 3) {
        EXPECT_EQ(e.what(), first_message);
        EXPECT_GT(workers.shared_loops(), 0);
      }
    }
  }
}

}  // namespace
