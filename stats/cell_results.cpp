#include "stats/cell_results.h"

namespace pctlfit {

CellResults allocate_results(int columns, const Distribution& dist, bool compare_fits) {
  CellResults results;
  results.table = allocate_table(columns);
  results.missing = allocate_cell_counts(columns);
  results.at_or_below_bound = allocate_cell_counts(columns);
  if (dist.zeros) results.zeros = allocate_cell_counts(columns);
  if (compare_fits) results.comparison = allocate_comparison(columns, dist);
  return results;
}

}  // namespace pctlfit
