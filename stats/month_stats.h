#pragma once
// Per column and month accumulators, held in the transformed domain of the distribution.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "stats/cell_grid.h"

namespace pctlfit {

struct MonthStats {
  double sum = 0.0;
  double count = 0.0;
  double sum_sq = 0.0;
  double min = 1e100;
  double max = -1e100;
  double mean = 0.0;     // set by finalize_stats
  double std_dev = 0.0;  // set by finalize_stats
};

// table[column][month], columns 1..columns and months 1..12.
using StatsTable = CellGrid<MonthStats>;

// A table for `columns` columns with every cell at its initial values (none if columns < 1).
StatsTable allocate_table(int columns);

// The record of `column` (1..columns) and `month` (1..12).
inline MonthStats& table_cell(StatsTable& table, int column, int month) {
  return table.at(column, month);
}
inline const MonthStats& table_cell(const StatsTable& table, int column, int month) {
  return table.at(column, month);
}

// A count per column and month (values at or below the log-normal bound, missing values).
using CellCounts = CellGrid<uint32_t>;

// Zero counts for `columns` columns and 12 months (none if columns < 1).
CellCounts allocate_cell_counts(int columns);

// Adds one value that is already transformed: count, sum, sum of squares, strict min, strict max.
inline void accumulate_value(MonthStats& record, double x) {
  record.count += 1.0;
  record.sum += x;
  record.sum_sq += x * x;
  // As selects, not branches: the processor's min and max take them without a guess to miss
  // (same result: a NaN or an equal value leaves the bound as it is).
  record.min = x < record.min ? x : record.min;
  record.max = x > record.max ? x : record.max;
}

// Sets mean and std_dev from the sums. Idempotent.
void finalize_stats(MonthStats& record);

// Finalises every cell: after the data pass, before any figure is read.
void finalize_table(StatsTable& table);

}  // namespace pctlfit
