#pragma once
// A cell's fit by a family whose figures are not the statistics table's own normal: the
// gamma, Pearson III, log-Pearson III, LN3 with its bound per cell, and (for --fit=best) the
// normal families read off the further sums. Its figures at any level, with --zeros' mass at
// the bound.

#include <cstdint>
#include <optional>

#include "stats/distribution.h"
#include "stats/family_fit.h"
#include "stats/fit_comparison.h"
#include "stats/month_stats.h"

namespace pctlfit {

struct CellFit {
  DistributionMode mode = DistributionMode::NV;
  bool fitted = false;
  GammaFit gamma;      // GAM
  PearsonFit pearson;  // P3 on x, LP3 on ln x
  Ln3Fit normal;       // NV, LN2, LN3 (bound 0 for NV and LN2) and LN3 per cell
};

// A cell's moments on one scale from its sums about their first value: the mean, the SD with
// divisor n - 1 and G1 (none below 3 values or without spread).
std::optional<Moments> moments_of(const DomainSums& sums);

// The sums of one cell that a fit may read: the table's finalised cell (on the run's scale),
// the sums of the values as read and of their logarithms (the logarithms of those above 0).
struct CellSums {
  FitScale table_scale;  // the scale the run's table holds `record` on
  const MonthStats& record;
  const DomainSums& values;
  const DomainSums& logs;
};

// `mode`'s fit of a cell; `fitted` false where it has none (a value at or below its bound, too
// few values, no spread, no finite parameters; LN3 per cell: G1 not above 0 or a bound not
// below the least value). `lower_limit` is a given LN3 limit.
CellFit fit_cell(DistributionMode mode, const CellSums& sums, double lower_limit);

// The fit's figure at `level` percent; NaN where it has none. The normal families take the z
// table's constants at its percentages, as the run's own figures do; the others exact quantiles.
double cell_fit_at_level(const CellFit& fit, double level);

// The same at an exact lower-tail probability q (0 < q < 1).
double cell_fit_quantile(const CellFit& fit, double q);

// The figure at `level` of a cell whose figures come from `fit` (the table's own path where it
// is null): with `at_bound` values at the bound, the bound where level / 100 <= p0, else the
// fit's exact quantile at (p - p0) / (1 - p0).
double cell_figure(const Distribution& dist, const MonthStats& record, uint64_t at_bound,
                   const CellFit* fit, double level);

// The bound the fit sets for the table's lower_limit column: LN3's own, given or per cell.
std::optional<double> fitted_lower_limit(const CellFit& fit);

}  // namespace pctlfit
