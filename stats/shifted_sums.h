#pragma once
// Cells whose one-pass sums lose more than half of their digits, and their sums formed again
// about a shift. The variance (sum_sq - sum * sum / n) / (n - 1) subtracts two numbers of about
// n * mean^2 whose difference is about n * variance: the subtraction cancels about
// log2(mean^2 / variance) of a double's 53 bits. Beyond 26 (mean^2 > 2^26 * variance, a mean of
// more than 8192 standard deviations) the SD keeps fewer than half of its digits: 123456.789 with
// a spread of 0.5, or its logarithms. Sums of x - K about K, the one-pass mean, cancel nothing.

#include <cstdint>
#include <vector>

#include "stats/month_stats.h"

namespace pctlfit {

// mean^2 / variance beyond this: more than 26 of 53 bits lost.
inline constexpr double kLostDigitsBound = 67108864.0;  // 2^26

// Whether a finalised cell's one-pass variance lost more than half of its digits. Cells of
// fewer than three values, of equal values, or with sums that are not finite, lose none.
bool loses_digits(const MonthStats& cell);

// Sums about `shift` of the same values, in the same order.
struct ShiftedSums {
  double shift = 0;
  double count = 0;
  double sum = 0;
  double sum_sq = 0;
};

// The cells that lose digits: slot[cell] indexes `sums`, -1 for every other cell.
struct ShiftedCells {
  std::vector<int32_t> slot;
  std::vector<ShiftedSums> sums;
};

// The finalised table's cells that lose digits, each with its one-pass mean as shift.
ShiftedCells find_cells_losing_digits(const StatsTable& table);

inline void add_shifted(ShiftedSums& sums, double x) {
  const double d = x - sums.shift;
  sums.count += 1.0;
  sums.sum += d;
  sums.sum_sq += d * d;
}

// Each such cell's mean and SD from its shifted sums, by the one-pass rules (more than two
// values for an SD). False, leaving the table as it is, where a cell's count differs from the
// data pass's: a file changed in between.
bool finalize_shifted(const ShiftedCells& cells, StatsTable& table);

}  // namespace pctlfit
