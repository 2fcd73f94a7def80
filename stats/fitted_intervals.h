#pragma once
// --ci: the confidence interval of every fitted figure, per column, month and level.

#include <cstdint>
#include <vector>

#include "stats/distribution.h"
#include "stats/month_stats.h"
#include "stats/quantile_interval.h"

namespace pctlfit {

struct FittedIntervalRequest {
  std::vector<double> levels;            // in percent, the table's fitted levels in its order
  double confidence = 0.9;               // a fraction
  const CellCounts* at_bound = nullptr;  // --zeros: each cell's values at the bound
  int threads = 1;
};

// The interval of each finalised cell's figure at each level, cells month-major as cell_index
// orders them, then level: the normal quantile's exact interval on the fitting scale (see
// normal_quantile_factors), turned back into the data's units like the figure. With --zeros,
// the log-normal part's interval at the mixture's q, conditional on the cell's share p0 at the
// bound; where the figure is the bound (p <= p0), both ends are the bound. Empty (NaN) where the
// fit rests on fewer than 3 values, is not finite or has no spread. Each distinct sample size
// and level is worked out once, on `threads` threads.
std::vector<IntervalEnds> fitted_intervals(const StatsTable& table, const Distribution& dist,
                                           const FittedIntervalRequest& request);

// How many cells have at least one end of an interval in `ends` (`levels` a cell).
uint64_t cells_with_intervals(const std::vector<IntervalEnds>& ends, size_t levels);

}  // namespace pctlfit
