#pragma once

#include <cstdint>

#include "common/pause.h"

struct AnalysisRun;
struct EigenTestRecord;

// What happens during an analysis, for whoever drives it: the program writes
// its report and shows its progress from these calls, the library keeps
// warnings, tests stay silent. The analysis itself opens no file and writes
// no console; it calls these at fixed points, always in the same order, and
// the state it hands is only read.
class AnalysisObserver {
 public:
  // The pause of the numerical routines (no convergence, an argument out of range).
  virtual Pause& pause() = 0;

  // The element variances are formed: the analysis proper begins.
  virtual void analysis_begins(const AnalysisRun&) {}
  // The product matrix is about to be formed (the product-matrix mode).
  virtual void product_matrix_begins() {}
  // The matrix is listed after the exchanges of every elimination step, and
  // each eigenvector is checked against the decomposed matrix. Costly on
  // large data: the analysis forms what the listing shows only when asked.
  virtual bool lists_steps() const { return false; }
  // The residual tests' tail probabilities are wanted.
  virtual bool wants_probabilities() const { return false; }

  // Elimination: step I of at most MIN begins; the matrix after its
  // exchanges (lists_steps); every step done.
  virtual void step_begins(std::int32_t /*I*/, std::int32_t /*MIN*/) {}
  virtual void step_listing(const AnalysisRun&, bool /*errors*/) {}
  virtual void elimination_done(const AnalysisRun&) {}

  // Eigenvalue mode: the decomposition is sorted; eigenvalue I (of U) is
  // examined, then its residual test (with an error), then its eigenvector
  // check (lists_steps: FE holds the decomposed matrix times the vector).
  virtual void eigenvalues_begin(const AnalysisRun&, bool /*errors*/) {}
  virtual void eigenvalue_found(const AnalysisRun&, std::int32_t /*I*/, std::int32_t /*U*/, bool /*errors*/) {}
  virtual void residual_tested(const AnalysisRun&, std::int32_t /*I*/, const EigenTestRecord&) {}
  virtual void eigenvector_checked(const AnalysisRun&, std::int32_t /*I*/) {}

 protected:
  ~AnalysisObserver() = default;
};

// An observer that shows nothing: the library's analyses and the tests. Its
// pauses go to the pause it is given; the probabilities are formed when asked.
class SilentObserver final : public AnalysisObserver {
 public:
  explicit SilentObserver(Pause& pause, bool probabilities = false) : pause_(pause), probabilities_(probabilities) {}
  Pause& pause() override { return pause_; }
  bool wants_probabilities() const override { return probabilities_; }

 private:
  Pause& pause_;
  bool probabilities_;
};
