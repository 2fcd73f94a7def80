#include "stats/shifted_sums.h"

#include <cmath>

namespace pctlfit {

bool loses_digits(const MonthStats& cell) {
  if (!(cell.count > 2) || !std::isfinite(cell.sum) || !std::isfinite(cell.sum_sq)) return false;
  if (!(cell.max > cell.min)) return false;  // equal values: nothing to lose
  const double variance = (cell.sum_sq - cell.sum * cell.sum / cell.count) / (cell.count - 1);
  // Values that differ with a variance of 0 or below: all of its digits cancelled.
  return !(variance > 0) || cell.mean * cell.mean > kLostDigitsBound * variance;
}

ShiftedCells find_cells_losing_digits(const StatsTable& table) {
  ShiftedCells cells;
  cells.slot.assign(table.cells.size(), -1);
  for (size_t i = 0; i < table.cells.size(); ++i) {
    if (!loses_digits(table.cells[i])) continue;
    cells.slot[i] = static_cast<int32_t>(cells.sums.size());
    cells.sums.push_back({table.cells[i].mean, 0, 0, 0});
  }
  if (cells.sums.empty()) cells.slot.clear();
  return cells;
}

bool finalize_shifted(const ShiftedCells& cells, StatsTable& table) {
  for (size_t i = 0; i < cells.slot.size(); ++i) {
    if (cells.slot[i] >= 0 && cells.sums[size_t(cells.slot[i])].count != table.cells[i].count) {
      return false;
    }
  }
  for (size_t i = 0; i < cells.slot.size(); ++i) {
    if (cells.slot[i] < 0) continue;
    const ShiftedSums& s = cells.sums[size_t(cells.slot[i])];
    MonthStats& cell = table.cells[i];
    cell.mean = s.shift + s.sum / s.count;
    const double variance = (s.sum_sq - s.sum * s.sum / s.count) / (s.count - 1);
    cell.std_dev = variance > 0 ? std::sqrt(variance) : 0.0;
  }
  return true;
}

}  // namespace pctlfit
