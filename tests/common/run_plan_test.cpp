// The plan a run derives from the settings as given and the data's shape.
#include <gtest/gtest.h>

#include "common/run_settings.h"

namespace {

struct Given {
  std::int32_t FTW, NU;
  bool JEV, LSD;
  REAL MER;
};
struct Used {
  std::int32_t MIN, FTW, NU;
  bool JEV, LSD;
  REAL MER, MERPR;
};

TEST(RunPlan, TablesStepsAndErrorsAsTheRunUsesThem) {
  const struct {
    const char* why;
    Given given;
    std::int32_t N, M;
    Used used;
  } cases[] = {
      {"all steps (NU -1) on the smaller side", {0, -1, false, false, 0.1L}, 3, 5, {3, 0, 3, false, false, 0.1L, 0.02L}},
      {"steps asked for, within reach", {0, 2, true, false, 0.1L}, 5, 3, {3, 0, 2, true, false, 0.1L, 0.02L}},
      {"more steps than the matrix has", {0, 7, false, true, 0}, 4, 4, {4, 0, 4, false, true, 0, 0.02L}},
      {"0 steps count as all", {0, 0, false, false, 0}, 2, 6, {2, 0, 2, false, false, 0, 0.02L}},
      // A table run examines FTW - 1 steps, without statistics, eigenvalues or errors.
      {"tables after one step", {2, 5, true, true, 0.1L}, 3, 5, {3, 2, 1, false, false, 0, 0}},
      {"tables before any step", {1, -1, false, false, 0.1L}, 3, 3, {3, 1, 0, false, false, 0, 0}},
      {"tables after every step but the last", {3, -1, false, false, 0}, 3, 4, {3, 3, 2, false, false, 0, 0}},
      // Tables after more steps than the matrix has: an analysis as asked for otherwise.
      {"tables beyond the matrix", {4, 2, true, true, 0.1L}, 3, 9, {3, 0, 2, true, true, 0.1L, 0.02L}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    RunSettings s;
    s.FTW = c.given.FTW;
    s.NU = c.given.NU;
    s.JEV = c.given.JEV;
    s.LSD = c.given.LSD;
    s.MER = c.given.MER;
    s.MERPR = 0.02L;
    s.ITRN = true;
    s.RGAUSS = 0.5L;
    s.YPLOT = true;
    const RunPlan p = plan_run(s, c.N, c.M);
    EXPECT_EQ(p.MIN, c.used.MIN);
    EXPECT_EQ(p.FTW, c.used.FTW);
    EXPECT_EQ(p.NU, c.used.NU);
    EXPECT_EQ(p.JEV, c.used.JEV);
    EXPECT_EQ(p.LSD, c.used.LSD);
    EXPECT_EQ(p.MER, c.used.MER);
    EXPECT_EQ(p.MERPR, c.used.MERPR);
    // What no adjustment touches.
    EXPECT_TRUE(p.ITRN);
    EXPECT_EQ(p.RGAUSS, 0.5L);
    EXPECT_TRUE(p.remainder_errors);
    // The settings as given are left as they were.
    EXPECT_EQ(s.NU, c.given.NU);
    EXPECT_EQ(s.FTW, c.given.FTW);
  }
}

// Before the data are read, the plan is the settings' own values: a run
// stopped while loading reports them.
TEST(RunPlan, BeforeLoadingItIsTheSettingsThemselves) {
  RunSettings s;
  s.FTW = 9;
  s.NU = -1;
  s.JEV = true;
  s.MER = 0.25L;
  const RunPlan p = plan_before_loading(s);
  EXPECT_EQ(p.MIN, 0);
  EXPECT_EQ(p.FTW, 9);
  EXPECT_EQ(p.NU, -1);
  EXPECT_TRUE(p.JEV);
  EXPECT_EQ(p.MER, 0.25L);
}

}  // namespace
