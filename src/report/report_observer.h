#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/analysis_observer.h"
#include "common/text_writer.h"

class Console;
struct ProgramRun;

// The program's view of an analysis: the report file, created when the
// analysis begins (so that a run stopped before it leaves none), with its
// head, the step listing, the eigenvalue lines and the result report; the
// progress on the console; the pauses there. The report stays open after
// the analysis, so that the verdict can follow in the same pass.
class ReportObserver final : public AnalysisObserver {
 public:
  // file_name: the report file's name as the run writes it, empty for none;
  // listing: the matrix at every step and the eigenvector checks (HDR);
  // W, D: the width and decimals of the report's numbers.
  ReportObserver(ProgramRun& s, Console& console, std::string file_name, bool listing, std::int16_t W,
                 std::int16_t D);

  Pause& pause() override;
  void analysis_begins(const AnalysisRun& s) override;
  bool lists_steps() const override { return listing_ && report_.has_value(); }
  bool wants_probabilities() const override { return report_.has_value(); }

  void product_matrix_begins() override;
  void step_begins(std::int32_t I, std::int32_t MIN) override;
  void step_listing(const AnalysisRun& s, bool errors) override;
  void elimination_done(const AnalysisRun& s) override;

  void eigenvalues_begin(const AnalysisRun& s, bool errors) override;
  void eigenvalue_found(const AnalysisRun& s, std::int32_t I, std::int32_t U, bool errors) override;
  void residual_tested(const AnalysisRun& s, std::int32_t I, const EigenTestRecord& record) override;
  void eigenvector_checked(const AnalysisRun& s, std::int32_t I) override;

  // The report file once the analysis has begun with one; null otherwise.
  TextWriter* report() { return report_ ? &*report_ : nullptr; }
  // Closes the report file (a failure to finish it is a run-time error).
  void close();
  // The run was interrupted: the report, when one is open, ends with a line
  // that says so and how far the analysis came, and is closed.
  void mark_interrupted();

 private:
  ProgramRun& s_;
  Console& console_;
  std::string file_name_;
  bool listing_;
  std::int16_t W_, D_;
  std::optional<TextWriter> report_;
  // How far the analysis came: elimination steps or eigenvalues complete.
  std::int32_t done_ = 0;
  bool eigenvalues_ = false;
};

// About how many bytes the step listing of an analysis writes into the
// report: every elimination step lists the N x M matrix (and its errors),
// every eigenvalue of the eigenvalue mode its check against the matrix of
// order MIN. For the warning before a listing that would fill a disk.
std::int64_t step_listing_bytes(std::int64_t N, std::int64_t M, std::int64_t steps, bool errors, bool eigenvalues,
                                int W, int D);

// A count of bytes for a message: "605 MB", "10.3 GB", "1.5 kB" (powers of 1000).
std::string byte_size_text(std::int64_t bytes);
