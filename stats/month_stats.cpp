#include "stats/month_stats.h"

#include <cmath>

namespace pctlfit {

StatsTable allocate_table(int columns) { return make_grid<MonthStats>(columns); }

CellCounts allocate_cell_counts(int columns) { return make_grid<uint32_t>(columns); }

void finalize_stats(MonthStats& record) {
  record.mean = record.count > 0 ? record.sum / record.count : 0.0;
  // More than two values, not more than one: with exactly two the deviation stays 0.
  const double variance =
      record.count > 2
          ? (record.sum_sq - record.sum * record.sum / record.count) / (record.count - 1)
          : 0.0;
  // Rounding can make the variance zero or negative; NaN also fails the test.
  record.std_dev = variance > 0 ? std::sqrt(variance) : 0.0;
}

void finalize_table(StatsTable& table) {
  for (MonthStats& cell : table.cells) finalize_stats(cell);
}

}  // namespace pctlfit
