#pragma once
// The fitted distribution: forward and back transform, and percentiles of a finalised record.

#include <cmath>

#include "stats/families.h"
#include "stats/month_stats.h"

namespace pctlfit {

// The fitted mode and, for LN3, the lower limit, chosen once per run.
struct Distribution {
  DistributionMode mode = DistributionMode::LN2;
  double lower_limit = 0.0;  // used by LN3 only
  // --zeros (LN2, LN3): values exactly at the bound are a probability mass p0 of their own; the
  // log-normal is fitted to the values above it.
  bool zeros = false;
};

// The value in the domain where the distribution is normal: v (NV), ln v (LN2),
// ln(v - lower_limit) (LN3). Values at or below the bound (0 for LN2, lower_limit for LN3) give
// -inf or NaN, unguarded: stored reports show what that yields. Inline: it runs once per value
// of the data pass.
inline double transform_value(FitScale scale, double lower_limit, double v) {
  switch (scale) {
    case FitScale::values:
      return v;
    case FitScale::log_values:
      return std::log(v);
    case FitScale::log_above_limit:
      return std::log(v - lower_limit);
  }
  return v;
}
inline double transform_value(const Distribution& dist, double v) {
  return transform_value(family_of(dist.mode).scale, dist.lower_limit, v);
}
// The inverse of transform_value: x, exp x, exp x + lower_limit.
double back_transform(const Distribution& dist, double x);

// The record's smallest and largest value, back in the data's units (an empty record gives the
// back-transformed 1e100 and -1e100).
double month_min(const Distribution& dist, const MonthStats& record);
double month_max(const Distribution& dist, const MonthStats& record);

// The p-percent percentile (5.0, 50.0, 95.0, ...) of a finalised record; NaN for a percentage
// that the z table does not hold.
double percentile(const Distribution& dist, const MonthStats& record, double p);

// The fitted figure at any level in percent, 0 < level < 100: the z table's figure where the
// level is exactly one of its percentages (as percentile), else mean + z * sd with z the
// standard normal quantile of level / 100, turned back into the data's units.
double fitted_at_level(const Distribution& dist, const MonthStats& record, double level);

// The mode word: "NV", "LN2", "LN3".
inline const char* mode_name(DistributionMode mode) { return family_of(mode).keyword; }

// --zeros: the bound that values may lie at (0 for LN2, the lower limit for LN3).
double log_normal_bound(const Distribution& dist);

// The figure at `level` percent of a cell of which `at_bound` values lie exactly at the bound
// and the record holds the others: the mixture of a mass p0 = at_bound / n there and the fitted
// log-normal. The bound where level / 100 <= p0, else the log-normal's figure at
// q = (p - p0) / (1 - p0) with the exact quantile; without values at the bound,
// fitted_at_level's figure.
double mixed_at_level(const Distribution& dist, const MonthStats& record, uint64_t at_bound,
                      double level);

// The least and greatest value of such a cell, the bound among them.
double mixed_min(const Distribution& dist, const MonthStats& record, uint64_t at_bound);
double mixed_max(const Distribution& dist, const MonthStats& record, uint64_t at_bound);

}  // namespace pctlfit
