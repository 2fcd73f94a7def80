#pragma once
// The fitted distribution: forward and back transform, and percentiles of a finalised record.

#include <cmath>

#include "stats/month_stats.h"

namespace pctlfit {

enum class DistributionMode { NV = 1, LN2 = 2, LN3 = 3 };

struct Distribution {
  DistributionMode mode = DistributionMode::LN2;
  double lower_limit = 0.0;  // used by LN3 only
};

// Values at or below the bound (0 for LN2, lower_limit for LN3) give -inf or NaN, unguarded:
// stored reports show what that yields. Inline: it runs once per value of the data pass.
inline double transform_value(const Distribution& dist, double v) {
  switch (dist.mode) {
    case DistributionMode::NV:
      return v;
    case DistributionMode::LN2:
      return std::log(v);
    case DistributionMode::LN3:
      return std::log(v - dist.lower_limit);
  }
  return v;
}
double back_transform(const Distribution& dist, double x);

double month_min(const Distribution& dist, const MonthStats& record);
double month_max(const Distribution& dist, const MonthStats& record);

// The p-percent percentile (5.0, 50.0, 95.0, ...) of a finalised record; NaN for a percentage
// that the z table does not hold.
double percentile(const Distribution& dist, const MonthStats& record, double p);

}  // namespace pctlfit
