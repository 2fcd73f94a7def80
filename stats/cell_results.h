#pragma once
// What a run finds per column and month: the statistics and the data pass's counts always, and
// whichever further figures the options ask for. The run builds it in one place; the report
// and the figure table read it.

#include <optional>
#include <vector>

#include "stats/cell_fit.h"
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
  // --compare-fits, and the further sums the families beyond the run's normal fit from
  std::optional<FitComparison> comparison;
  // --fit of a family beyond the normals, --fit=best: each cell's fit that gives its figures
  std::optional<std::vector<CellFit>> fits;
  std::optional<FitCheck> fit_check;  // --check-fit, when it could be made
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

// The cell's fit that gives its figures; null where the table's own normal gives them.
inline const CellFit* figure_fit(const CellResults& results, size_t cell) {
  return results.fits ? &(*results.fits)[cell] : nullptr;
}

// Which further sums a run needs: --compare-fits' columns and lines, --fit=best's choice.
struct ComparisonNeeds {
  bool reported = false;
  bool best = false;
};

// The results of a run of `columns` columns, each part that the run fills from the data pass
// allocated: the zeros' counts with --zeros, the comparison's sums with --compare-fits, --fit
// of a family beyond the normals or --fit=best.
CellResults allocate_results(int columns, const Distribution& dist, ComparisonNeeds needs);

}  // namespace pctlfit
