#pragma once
// The check of each fit against its own values (--check-fit): how many pooled values lie below
// the fitted 5 % line and above the 95 % line, the skewness of the transformed values about the
// fitted mean, and whether either count is implausible for a true 5 % line. Only a finite fit is
// checked: a value at or below a log-normal bound, or an empty month, leaves its cell unchecked.

#include <cstdint>
#include <optional>
#include <vector>

#include "stats/cell_fit.h"
#include "stats/distribution.h"
#include "stats/month_stats.h"

namespace pctlfit {

struct FitCell {
  bool checked = false;  // the fit is finite, and its values are counted
  double p5 = 0;         // the fitted lines in the data's units: the doubles the report rounds
  double p95 = 0;
  double mean = 0;  // of the fit, in the transformed domain
  uint32_t below_p5 = 0;
  uint32_t above_p95 = 0;
  double m2 = 0;  // sums of (x - mean)^2 and (x - mean)^3 over the transformed values
  double m3 = 0;
  // --zeros: the values at the bound, a mass p0 of the mixture the lines are of. They are
  // held against the lines with the others but have no deviation; a line that the mass
  // reaches (p0 at or above its share) is not judged.
  uint64_t zeros = 0;
  bool judge_below = true;
  bool judge_above = true;
  // The values the check's pass counted (the mass at the bound among them), to hold against
  // the data pass's: another count means a file changed between the two passes.
  uint64_t values = 0;
};

using FitCheck = CellGrid<FitCell>;

// The cells of a check for a finalised table: their lines, their means, which are checked;
// with --zeros, `zeros` counts each cell's values at the bound; `fits`, where the run has them,
// each cell's family fit whose lines are held against the values.
FitCheck prepare_fit_check(const StatsTable& table, const Distribution& dist,
                           const CellCounts* zeros = nullptr,
                           const std::vector<CellFit>* fits = nullptr);

inline FitCell& check_cell(FitCheck& check, int column, int month) {
  return check.at(column, month);
}
inline const FitCell& check_cell(const FitCheck& check, int column, int month) {
  return check.at(column, month);
}

// Whether every checked cell counted the values the data pass pooled into `table`.
bool counts_match(const FitCheck& check, const StatsTable& table);

// Where a pooled value lies against its cell's lines. A value exactly on a line lies neither
// below nor above it.
enum class ValueSide : unsigned char { inside, below, above, not_counted };

// The side of the value `v` (in the data's units) and, in `v`'s place, its deviation from the
// fitted mean in the transformed domain. Needs no order: the data pass's workers run it.
inline ValueSide place_value(const FitCell& cell, const Distribution& dist, double& v) {
  if (!cell.checked) return ValueSide::not_counted;
  const ValueSide side = v < cell.p5    ? ValueSide::below
                         : v > cell.p95 ? ValueSide::above
                                        : ValueSide::inside;
  // A value of the mass at the bound adds nothing to the sums of powers, which run over the
  // values above it.
  v = dist.zeros && v == log_normal_bound(dist) ? 0.0 : transform_value(dist, v) - cell.mean;
  return side;
}

// Counts a placed value with its deviation `d`, in file, record and column order, so that the
// sums of powers are the same bits whatever the threads. The sums run about the fitted mean, so
// they do not cancel.
inline void count_value(FitCell& cell, ValueSide side, double d) {
  if (side == ValueSide::not_counted) return;
  ++cell.values;
  if (side == ValueSide::below) ++cell.below_p5;
  if (side == ValueSide::above) ++cell.above_p95;
  const double d2 = d * d;
  cell.m2 += d2;
  cell.m3 += d2 * d;
}

// What the check says of one cell of `n` values.
struct FitVerdict {
  std::optional<double> skew;  // G1 = sqrt(n(n-1))/(n-2) m3/m2^1.5; none below 3 values or
                               // when all values are equal
  bool misfit = false;         // a count outside the 99 % band of a true 5 % line
  double tail = 1;             // the smallest of the four tail probabilities: how bad
};
FitVerdict judge_fit(const FitCell& cell, uint64_t n);

// A checked month whose counts are implausible.
struct Misfit {
  double tail;  // see FitVerdict: the smaller, the worse
  int column;
  int month;
  uint64_t n;
  const FitCell* cell;
};

// The checked months of `check` (made from `table`), and of those the misfits, worst first,
// then in table order.
struct MisfitRanking {
  long checked = 0;
  std::vector<Misfit> misfits;
  long empty = 0;       // months not checked: without values,
  long not_finite = 0;  // or whose fit is not finite (values at or below a log-normal bound),
  long only_zeros = 0;  // or (--zeros) of values at the bound alone
};
MisfitRanking rank_misfits(const FitCheck& check, const StatsTable& table);

// P(X <= k) and P(X >= k) for X ~ Binomial(n, p), 0 < p < 1.
double binomial_at_most(uint64_t n, uint64_t k, double p);
double binomial_at_least(uint64_t n, uint64_t k, double p);

}  // namespace pctlfit
