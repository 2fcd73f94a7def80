#pragma once
// --compare-fits: which of NV, LN2 and LN3 (at the run's lower limit, which is given, not
// fitted) fits each column and month best, by AIC. Each mode's log-likelihood at its
// maximum-likelihood parameters in its own domain, with the transform's Jacobian:
//   lnL = -n/2 (ln(2 pi s2) + 1) - J,  AIC = 4 - 2 lnL,
// s2 the variance with divisor n of the transformed values, J 0 (NV), the sum of ln x (LN2) or
// of ln(x - limit) (LN3). The sums run in the data pass, value by value in the table's order,
// each about the cell's first value in that domain, so that they do not cancel.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "stats/distribution.h"
#include "stats/month_stats.h"

namespace pctlfit {

inline constexpr size_t kFitModes = 3;  // NV, LN2, LN3 at DistributionMode - 1

struct DomainSums {
  double n = 0;
  double shift = 0;      // the first value in this domain
  double about = 0;      // sum of (y - shift)
  double squares = 0;    // sum of (y - shift)^2
  uint64_t outside = 0;  // values outside the domain (LN2: at or below 0; LN3: the limit)
};

struct CompareCell {
  std::array<DomainSums, kFitModes> modes;
};

// Laid out like the table's cells.
struct FitComparison {
  int columns = 0;
  bool with_ln3 = false;  // a lower limit is given
  double lower_limit = 0;
  std::vector<CompareCell> cells;
};

FitComparison allocate_comparison(int columns, const Distribution& dist);

inline void add_to_domain(DomainSums& sums, double y) {
  if (sums.n == 0) sums.shift = y;
  const double d = y - sums.shift;
  sums.n += 1;
  sums.about += d;
  sums.squares += d * d;
}

// Adds one pooled value: `x` as read, `ln_x` its logarithm, `y` as the run's mode transformed
// it (LN3's domain is the run's own).
inline void compare_value(const FitComparison& comparison, CompareCell& cell, double x, double ln_x,
                          double y) {
  add_to_domain(cell.modes[0], x);
  DomainSums& ln2 = cell.modes[1];
  if (x > 0) {
    add_to_domain(ln2, ln_x);
  } else {
    ++ln2.outside;
  }
  if (!comparison.with_ln3) return;
  DomainSums& ln3 = cell.modes[2];
  if (x > comparison.lower_limit) {
    add_to_domain(ln3, y);
  } else {
    ++ln3.outside;
  }
}

// Each mode's AIC of a cell (none where a value lies outside its domain, below three values, or
// all values equal), and the mode with the smallest.
struct CellAic {
  std::array<std::optional<double>, kFitModes> aic;
  std::optional<DistributionMode> best;
};
CellAic cell_aic(const CompareCell& cell);

// What the comparison says of the whole table for a run of `mode`: how many months each mode
// wins, and the months where `mode` loses by more than kNoSupport, worst first.
inline constexpr double kNoSupport = 10;
struct AicLoss {
  int column;
  int month;
  uint64_t n;
  double own;   // the run's mode's AIC
  double best;  // the winner's
  DistributionMode winner;
};
struct ComparisonSummary {
  long compared = 0;  // months where at least one mode has an AIC
  long months = 0;
  std::array<long, kFitModes> wins = {};
  std::vector<AicLoss> losses;
};
ComparisonSummary summarise_comparison(const FitComparison& comparison, DistributionMode mode);

}  // namespace pctlfit
