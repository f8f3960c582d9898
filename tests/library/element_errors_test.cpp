// Errors given element by element: the elimination propagates each
// element's own variance (checked against propagation worked out by hand),
// a table of one repeated error is that error given once to the last bit,
// the reference row leaves its errors out, and bad tables are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "common/run_error.h"
#include "input/setting_numbers.h"
#include "library/library.h"
#include "library/table_of.h"

namespace {

using qor_test::table_of;

qor::Table float64_table(std::int32_t rows, std::int32_t columns, const std::vector<double>& values) {
  qor::Table t;
  t.rows = rows;
  t.columns = columns;
  t.view = values.data();
  t.view_type = qor::ValueType::float64;
  t.row_stride = static_cast<std::ptrdiff_t>(sizeof(double)) * columns;
  t.column_stride = sizeof(double);
  return t;
}

std::vector<REAL> variances_of(const qor::Run& run) {
  std::vector<REAL> v;
  for (const PivotResult& p : run.results.pivots) v.push_back(p.variance);
  return v;
}

// Each step: var(a - b c / d) = var a + (c/d)^2 var b + (b/d)^2 var c + (bc/d^2)^2 var d,
// with the variances the step before left; fractions worked out exactly.
TEST(ElementErrors, EliminationPropagatesEachElementsOwnError) {
  struct Case {
    const char* name;
    std::int32_t n;
    std::vector<REAL> data, errors;
    std::vector<REAL> pivots, variances;
  };
  const Case cases[] = {
      // 2 1 / 1 3: pivot 3 (error 0), then 2 - 1/3 with 0.1^2 + 0.2^2/9 + 0.3^2/9.
      {"2x2", 2, {2, 1, 1, 3}, {0.1L, 0.2L, 0.3L, 0}, {3, 5 / 3.0L}, {0, 0.01L + 0.04L / 9 + 0.09L / 9}},
      // Pivots 5 at (2, 2), 19/5 at (1, 1), 37/19; the remainder variances
      // after step 1 are 751/62500 at (1, 1), and at the end 225547757/4072531250.
      {"3x3", 3, {4, 1, 2, 1, 5, 1, 2, 1, 3}, {0.1L, 0.2L, 0.3L, 0.1L, 0.1L, 0.2L, 0.3L, 0.2L, 0.1L},
       {5, 19 / 5.0L, 37 / 19.0L}, {0.01L, 751 / 62500.0L, 225547757 / 4072531250.0L}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qor::Settings s;
    s.absolute_errors = table_of(c.n, c.n, c.errors);
    qor::Control control;
    const qor::Run run = qor::eliminate(table_of(c.n, c.n, c.data), s, control);
    ASSERT_TRUE(run.results.errors);
    const std::vector<REAL> v = variances_of(run);
    ASSERT_EQ(v.size(), c.variances.size());
    for (std::size_t k = 0; k < v.size(); ++k) {
      EXPECT_NEAR(static_cast<double>(run.results.pivots[k].value), static_cast<double>(c.pivots[k]), 1e-15) << k;
      EXPECT_NEAR(static_cast<double>(v[k]), static_cast<double>(c.variances[k]), 1e-16) << k;
    }
  }
}

// The matrix itself, diagonal: its eigenvectors are the unit vectors, so
// eigenvalue i's variance is the variance of diagonal element i alone.
TEST(ElementErrors, EigenvaluesOfTheMatrixItselfTakeTheirElementsErrors) {
  qor::Settings s;
  s.product_matrix = false;
  s.absolute_errors = table_of(2, 2, {0.1L, 0.2L, 0.2L, 0.3L});
  qor::Control control;
  const qor::Run run = qor::eigen(table_of(2, 2, {2, 0, 0, 1}), s, control);
  ASSERT_EQ(run.results.eigenvalues.size(), 2u);
  EXPECT_EQ(run.results.eigenvalues[0].value, 2);
  EXPECT_EQ(run.results.eigenvalues[0].variance, 0.1L * 0.1L);
  EXPECT_EQ(run.results.eigenvalues[1].variance, 0.3L * 0.3L);
}

// The relative error takes each element's value: 10 % of 4 and 20 % of 2 ...
// where it exceeds the absolute error given for all.
TEST(ElementErrors, RelativeErrorsElementByElementBesideOneAbsoluteError) {
  qor::Settings s;
  s.absolute_error = 0.5L;
  s.relative_errors_percent = table_of(1, 2, {10, 50});
  qor::Control control;
  const qor::Run run = qor::eliminate(table_of(1, 2, {4, 2}), s, control);
  ASSERT_EQ(run.results.pivots.size(), 1u);
  EXPECT_EQ(run.results.pivots[0].value, 4);
  // max(0.5^2, (0.1 x 4)^2) = 0.25
  EXPECT_EQ(run.results.pivots[0].variance, 0.25L);
}

// The same numbers, bit for bit, whether one error is given once (as the
// Python module passes it, its decimal text read) or repeated in a float64
// table, in every analysis.
TEST(ElementErrors, ARepeatedErrorIsThatErrorGivenOnce) {
  const std::vector<REAL> data = {0.91L, 0.12L, 0.33L, 0.47L, 0.25L, 0.18L, 0.77L, 0.56L, 0.64L, 0.05L, 0.88L, 0.39L};
  const std::vector<double> repeated(12, 0.003), relative(12, 1.5);
  struct Case {
    bool absolute;
    const char* text;
  };
  for (const Case c : {Case{true, "0.003"}, Case{false, "1.5"}}) {
    qor::Settings once, by_element;
    once.verdict = by_element.verdict = true;
    if (c.absolute) {
      once.absolute_error = *read_real_number(c.text);
      by_element.absolute_errors = float64_table(4, 3, repeated);
    } else {
      once.relative_error_percent = *read_real_number(c.text);
      by_element.relative_errors_percent = float64_table(4, 3, relative);
    }
    qor::Control control;
    const qor::Table t = table_of(4, 3, data);
    const qor::Run a = qor::eliminate(t, once, control), b = qor::eliminate(t, by_element, control);
    const qor::Run e = qor::eigen(t, once, control), f = qor::eigen(t, by_element, control);
    ASSERT_FALSE(variances_of(a).empty());
    EXPECT_EQ(variances_of(a), variances_of(b));
    ASSERT_EQ(e.results.eigenvalues.size(), f.results.eigenvalues.size());
    for (std::size_t k = 0; k < e.results.eigenvalues.size(); ++k) {
      EXPECT_EQ(e.results.eigenvalues[k].variance, f.results.eigenvalues[k].variance) << k;
      EXPECT_EQ(e.results.eigenvalues[k].test.G, f.results.eigenvalues[k].test.G) << k;
    }
    EXPECT_EQ(e.verdict_lines, f.verdict_lines);
    EXPECT_EQ(f.verdict->equal_errors, c.absolute);  // a relative error differs with the value
  }
}

// Unequal errors take the verdict's path for unequal errors; errors of 0
// throughout are no error given.
TEST(ElementErrors, UnequalErrorsAndErrorsOfZero) {
  const qor::Table t = table_of(3, 3, {4, 1, 2, 1, 5, 1, 2, 1, 3});
  qor::Control control;
  qor::Settings unequal;
  unequal.absolute_errors = table_of(3, 3, {0.1L, 0.2L, 0.1L, 0.1L, 0.1L, 0.1L, 0.1L, 0.1L, 0.1L});
  const qor::Run u = qor::rank(t, unequal, control);
  EXPECT_TRUE(u.verdict->error_given);
  EXPECT_FALSE(u.verdict->equal_errors);
  qor::Settings zeros;
  zeros.absolute_errors = table_of(3, 3, std::vector<REAL>(9, 0));
  const qor::Run z = qor::eliminate(t, zeros, control);
  EXPECT_FALSE(z.results.errors);
  const qor::Run plain = qor::eliminate(t, qor::Settings{}, control);
  EXPECT_EQ(z.results_json, plain.results_json);
}

// The reference row leaves its own errors out: the run is that of the
// differences with the other rows' errors.
TEST(ElementErrors, TheReferenceRowLeavesItsErrorsOut) {
  qor::Control control;
  qor::Settings with_reference;
  with_reference.reference_row = 1;
  with_reference.absolute_errors = table_of(3, 2, {9, 9, 0.1L, 0.2L, 0.3L, 0.4L});
  const qor::Run a = qor::eliminate(table_of(3, 2, {1, 1, 3, 2, 2, 4}), with_reference, control);
  qor::Settings differences;
  differences.absolute_errors = table_of(2, 2, {0.1L, 0.2L, 0.3L, 0.4L});
  const qor::Run b = qor::eliminate(table_of(2, 2, {2, 1, 1, 3}), differences, control);
  EXPECT_EQ(variances_of(a), variances_of(b));
  EXPECT_EQ(variances_of(a).front(), 0.4L * 0.4L);  // the pivot 3's own error
}

TEST(ElementErrors, TablesThatCannotBeErrorsAreRefused) {
  const REAL nan = std::numeric_limits<REAL>::quiet_NaN();
  struct Case {
    const char* name;
    qor::Table absolute, relative;
    REAL single = 0;
  };
  const Case cases[] = {
      {"shape", table_of(2, 1, {0.1L, 0.1L}), {}},
      {"negative", table_of(2, 2, {0.1L, -0.1L, 0.1L, 0.1L}), {}},
      {"not a number", {}, table_of(2, 2, {1, 1, nan, 1})},
      {"given twice", table_of(2, 2, {0.1L, 0.1L, 0.1L, 0.1L}), {}, 0.1L},
  };
  for (const Case& c : cases) {
    qor::Settings s;
    s.absolute_errors = c.absolute;
    s.relative_errors_percent = c.relative;
    s.absolute_error = c.single;
    qor::Control control;
    try {
      qor::eliminate(table_of(2, 2, {2, 1, 1, 3}), s, control);
      ADD_FAILURE() << c.name << " was taken";
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), kSettingOutOfRange) << c.name;
    }
  }
}

}  // namespace
