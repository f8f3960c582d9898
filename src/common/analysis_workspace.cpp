#include "common/analysis_workspace.h"

void size_working_matrices(AnalysisWorkspace& work, const DataTable& table, const RunPlan& plan) {
  const std::int32_t order = plan.MIN + 1;
  const bool errors = errors_known(plan);
  if (plan.ITRN) {
    work.T = MATRIX(order, order);
    work.ST = MATRIX(order, order);
  }
  if (errors) work.SD = MATRIX(table.N + 1, table.M + 1);
  if (plan.JEV) {
    work.CC = MATRIX(order, order);
    if (!work.T.allocated()) work.T = MATRIX(order, order);
    work.DE = MATRIX(order, 2);
    work.EE = MATRIX(order, 2);
    work.FE = MATRIX(order, 2);
    if (!work.ST.allocated() && errors) work.ST = MATRIX(order, order);
  }
  if (plan.LSD) work.AR = MATRIX(9, order);
}
