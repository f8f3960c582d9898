#include "analysis/matrix_itself.h"

std::optional<Asymmetry> matrix_itself_asymmetry(const DataTable& d, const RunPlan& plan) {
  if (!plan.JEV || plan.ITRN || plan.NU == 0) return std::nullopt;
  if (d.N != d.M) return Asymmetry{};
  for (std::int32_t i = 1; i <= d.N; ++i)
    for (std::int32_t j = i + 1; j <= d.M; ++j)
      if (!(d.A[i][j] == d.A[j][i])) return Asymmetry{i, j};
  return std::nullopt;
}
