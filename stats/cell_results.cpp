#include "stats/cell_results.h"

namespace pctlfit {

CellResults allocate_results(int columns, const Distribution& dist, ComparisonNeeds needs) {
  CellResults results;
  results.table = allocate_table(columns);
  results.missing = allocate_cell_counts(columns);
  results.at_or_below_bound = allocate_cell_counts(columns);
  if (dist.zeros) results.zeros = allocate_cell_counts(columns);
  const bool families = needs.reported || needs.best || !is_normal_fit(dist.mode);
  if (families) {
    const bool gamma_alone = !needs.reported && !needs.best && dist.mode == DistributionMode::GAM;
    results.comparison = allocate_comparison(columns, dist, true, gamma_alone);
    results.comparison->reported = needs.reported;
  }
  return results;
}

}  // namespace pctlfit
