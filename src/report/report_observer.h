#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/analysis_observer.h"
#include "common/text_writer.h"

class Console;
struct RunState;

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
  ReportObserver(RunState& s, Console& console, std::string file_name, bool listing, std::int16_t W,
                 std::int16_t D);

  Pause& pause() override;
  void analysis_begins(const RunState& s) override;
  bool lists_steps() const override { return listing_ && report_.has_value(); }
  bool wants_probabilities() const override { return report_.has_value(); }

  void product_matrix_begins() override;
  void step_begins(std::int32_t I, std::int32_t MIN) override;
  void step_listing(const RunState& s, bool errors) override;
  void elimination_done(const RunState& s) override;

  void eigenvalues_begin(const RunState& s, bool errors) override;
  void eigenvalue_found(const RunState& s, std::int32_t I, std::int32_t U, bool errors) override;
  void residual_tested(const RunState& s, std::int32_t I, const EigenTestRecord& record) override;
  void eigenvector_checked(const RunState& s, std::int32_t I) override;

  // The report file once the analysis has begun with one; null otherwise.
  TextWriter* report() { return report_ ? &*report_ : nullptr; }
  // Closes the report file (a failure to finish it is a run-time error).
  void close();

 private:
  RunState& s_;
  Console& console_;
  std::string file_name_;
  bool listing_;
  std::int16_t W_, D_;
  std::optional<TextWriter> report_;
};
