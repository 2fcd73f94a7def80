#pragma once
// Per column and month accumulators, held in the transformed domain of the distribution.

#include <cstddef>
#include <cstdint>
#include <vector>

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

constexpr int kMonths = 12;

// table[column][month], columns 1..columns and months 1..12. The cells of one month lie side by
// side, because a record updates one month of every column.
struct StatsTable {
  int columns = 0;
  std::vector<MonthStats> cells;  // kMonths * columns, month-major
};

// A table for `columns` columns with every cell at its initial values (none if columns < 1).
StatsTable allocate_table(int columns);

// The record of `column` (1..columns) and `month` (1..12).
inline MonthStats& table_cell(StatsTable& table, int column, int month) {
  return table.cells[static_cast<std::size_t>(month - 1) * static_cast<std::size_t>(table.columns) +
                     static_cast<std::size_t>(column - 1)];
}
inline const MonthStats& table_cell(const StatsTable& table, int column, int month) {
  return table.cells[static_cast<std::size_t>(month - 1) * static_cast<std::size_t>(table.columns) +
                     static_cast<std::size_t>(column - 1)];
}

// A count per column and month, laid out like the table's cells (values at or below the
// log-normal bound, missing values).
struct CellCounts {
  int columns = 0;
  std::vector<uint32_t> counts;
};

// Zero counts for `columns` columns and 12 months (none if columns < 1).
CellCounts allocate_cell_counts(int columns);

// The index of (column 1..columns, month 1..12) in `counts.counts`.
inline std::size_t cell_index(const CellCounts& counts, int column, int month) {
  return static_cast<std::size_t>(month - 1) * static_cast<std::size_t>(counts.columns) +
         static_cast<std::size_t>(column - 1);
}

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
