#pragma once
// --compare-fits: which of NV, LN2 and LN3 (at the run's lower limit, which is given, not
// fitted) fits each column and month best, by AIC. Each mode's log-likelihood at its
// maximum-likelihood parameters in its own domain, with the transform's Jacobian:
//   lnL = -n/2 (ln(2 pi s2) + 1) - J,  AIC = 4 - 2 lnL,
// s2 the variance with divisor n of the transformed values, J 0 (NV), the sum of ln x (LN2) or
// of ln(x - limit) (LN3). The run's own mode reads the statistics table's sums (the ranking is
// that of its own SD); the others' run in the data pass, value by value in the table's order,
// each about the cell's first value in that domain, so that they do not cancel.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "stats/distribution.h"
#include "stats/month_stats.h"

namespace pctlfit {

inline constexpr size_t kFitModes = kFamilyCount;  // at family_index

struct DomainSums {
  double n = 0;        // values in the domain
  double shift = 0;    // the first of them
  double about = 0;    // sum of (y - shift)
  double squares = 0;  // sum of (y - shift)^2
};

// The other modes' sums, laid out like the table's cells: `nv` (the values as read) where the
// run's scale is not theirs, `ln2` (ln x) where it is not theirs (LN3 is compared in LN3 runs
// only, from the table).
struct FitComparison {
  int columns = 0;
  DistributionMode run_mode = DistributionMode::LN2;
  double lower_limit = 0;
  std::vector<DomainSums> nv, ln2;
};

FitComparison allocate_comparison(int columns, const Distribution& dist);

inline void add_to_domain(DomainSums& sums, double y) {
  if (sums.n == 0) sums.shift = y;
  const double d = y - sums.shift;
  sums.n += 1;
  sums.about += d;
  sums.squares += d * d;
}

// Adds one pooled value of cell `cell`: `x` as read, `ln_x` its logarithm, to the modes that
// are not the run's.
inline void compare_value(FitComparison& comparison, size_t cell, double x, double ln_x) {
  if (!comparison.nv.empty()) add_to_domain(comparison.nv[cell], x);
  if (!comparison.ln2.empty() && x > 0) add_to_domain(comparison.ln2[cell], ln_x);
}

// Each mode's AIC of a cell whose finalised statistics are `record` (none where a value lies
// outside its domain, below three values, or all values equal), and the mode with the smallest.
struct CellAic {
  std::array<std::optional<double>, kFitModes> aic;
  std::optional<DistributionMode> best;
};
CellAic cell_aic(const FitComparison& comparison, const MonthStats& record, size_t cell);

// What the comparison says of the whole table: how many months each mode wins, and the months
// where the run's mode loses by more than kNoSupport, worst first.
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
  // Of the compared months, those where a mode has no AIC (a value at or below its log bound):
  // neither wins nor losses, and said apart, so that a count of wins is not read as a verdict.
  std::array<long, kFitModes> not_fitted = {};
  std::vector<AicLoss> losses;
};
ComparisonSummary summarise_comparison(const FitComparison& comparison, const StatsTable& table);

}  // namespace pctlfit
