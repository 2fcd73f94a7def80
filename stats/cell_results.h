#pragma once
// What a run finds per column and month: the statistics and the data pass's counts always, and
// whichever further figures the options ask for. The run builds it in one place; the report
// and the figure table read it.

#include <optional>
#include <vector>

#include "stats/distribution.h"
#include "stats/fit_check.h"
#include "stats/fit_comparison.h"
#include "stats/month_stats.h"
#include "stats/quantile_interval.h"

namespace pctlfit {

struct CellResults {
  StatsTable table;
  CellCounts missing;            // values not above -9999
  CellCounts at_or_below_bound;  // values at or below the log-normal bound
  // --zeros: each cell's values exactly at the bound; n counts them, the figures are the
  // mixture's
  std::optional<CellCounts> zeros;
  std::optional<FitComparison> comparison;  // --compare-fits
  std::optional<FitCheck> fit_check;        // --check-fit, when it could be made
  // --sample: the figures by cell (month-major, as cell_index orders them), then level, when
  // they could be made
  std::optional<std::vector<double>> sample;
  // --ci: the intervals of the fitted figures at the table's levels (5, 50, 95, then the further
  // --levels) and of the sample figures at theirs, laid out as the sample figures
  std::optional<std::vector<IntervalEnds>> fitted_intervals;
  std::optional<std::vector<IntervalEnds>> sample_intervals;
};

// The zeros' counts where the run has them, else null: for the steps that take them or not.
inline const CellCounts* zero_counts(const CellResults& results) {
  return results.zeros ? &*results.zeros : nullptr;
}
inline CellCounts* zero_counts(CellResults& results) {
  return results.zeros ? &*results.zeros : nullptr;
}

// The results of a run of `columns` columns, each part that the run fills from the data pass
// allocated: the zeros' counts with --zeros, the comparison's sums with --compare-fits.
CellResults allocate_results(int columns, const Distribution& dist, bool compare_fits);

}  // namespace pctlfit
