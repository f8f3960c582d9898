#pragma once

struct AnalysisContext;

// Eigenvalue mode of the analysis: decomposition of the product matrix (or
// of the leading square block of A), eigenvalue variances, the report lines,
// the residual chi-square tests and the eigenvector check.
void eigenvalue_analysis(AnalysisContext& q);
