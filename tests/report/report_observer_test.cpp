// The report observer's estimate of a step listing against the listing
// actually written, and the byte counts of its warning.
#include "report/report_observer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "control/settings.h"
#include "control/run_driver.h"
#include "test_data.h"
#include "test_support.h"

namespace {

// The bytes of the report of an analysis of an n x m table, with and without the listing.
std::uintmax_t report_bytes(std::int32_t n, std::int32_t m, bool listing, bool eigenvalues, REAL error) {
  qor_test::TempDir dir;
  qor_test::CapturedConsole captured;
  ProgramRun s(captured.console());
  set_default_settings(s.settings);
  s.settings.GFNO = "r.txt";
  s.settings.HDR = listing;
  s.settings.MER = error;
  s.settings.JEV = eigenvalues;
  qor_test::hold_matrix(s, n, m);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= m; ++j) s.table.A[i][j] = ((i * 7 + j * 3) % 11) / 10.0L + (i == j ? 1 : 0);
  prepare_run(s);
  qor_test::run_qor_with_report(s);
  return std::filesystem::file_size("R.TXT");
}

TEST(ReportObserver, TheListingsEstimateIsNearTheListingWritten) {
  struct Case {
    std::int32_t n, m;
    bool eigenvalues;
    REAL error;
  };
  for (const Case c : {Case{12, 9, false, 0}, Case{12, 9, false, 0.01L}, Case{30, 8, false, 0.01L},
                       Case{9, 9, true, 0.01L}}) {
    SCOPED_TRACE(testing::Message() << c.n << " x " << c.m << (c.eigenvalues ? " eigenvalues" : " elimination"));
    const auto listed = static_cast<double>(report_bytes(c.n, c.m, true, c.eigenvalues, c.error) -
                                            report_bytes(c.n, c.m, false, c.eigenvalues, c.error));
    const std::int32_t smaller = std::min(c.n, c.m);
    const auto estimate = static_cast<double>(
        step_listing_bytes(c.eigenvalues ? smaller : c.n, c.m, smaller, c.error != 0, c.eigenvalues,
                           c.eigenvalues ? 10 : 7, 3));
    EXPECT_GT(estimate, 0.8 * listed);
    EXPECT_LT(estimate, 1.3 * listed);
  }
}

TEST(ReportObserver, ByteSizesForTheWarning) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {999, "999 bytes"}, {1500, "1.5 kB"}, {605'000'000, "605 MB"}, {10'300'000'000, "10.3 GB"}, {100'000'000, "100 MB"}};
  for (const auto& [bytes, text] : cases) EXPECT_EQ(byte_size_text(bytes), text) << bytes;
}

}  // namespace
