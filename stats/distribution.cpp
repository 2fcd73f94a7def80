#include "stats/distribution.h"

#include <cmath>
#include <limits>

#include "stats/normal_quantile.h"
#include "stats/z_table.h"

namespace pctlfit {

double back_transform(const Distribution& dist, double x) {
  switch (dist.mode) {
    case DistributionMode::NV:
      return x;
    case DistributionMode::LN2:
      return std::exp(x);
    case DistributionMode::LN3:
      return std::exp(x) + dist.lower_limit;
  }
  return x;
}

double month_min(const Distribution& dist, const MonthStats& record) {
  return back_transform(dist, record.min);
}

double month_max(const Distribution& dist, const MonthStats& record) {
  return back_transform(dist, record.max);
}

double percentile(const Distribution& dist, const MonthStats& record, double p) {
  const double rounded = std::floor(p * 10 + 0.49999);
  // Outside the table's range (or NaN): no key, and no undefined conversion to int.
  if (!(rounded >= 0.0 && rounded <= 1000.0)) return std::numeric_limits<double>::quiet_NaN();
  const int key = static_cast<int>(rounded);
  for (const ZEntry& entry : kZTable) {
    if (entry.key != key) continue;
    const double m = record.mean;
    const double s = record.std_dev;
    // The operation orders are part of the figures: m - z*s below, z*s + m above.
    switch (entry.side) {
      case ZSide::lower:
        return back_transform(dist, m - entry.z * s);
      case ZSide::median:
        return back_transform(dist, m);
      case ZSide::upper:
        return back_transform(dist, entry.z * s + m);
    }
  }
  return std::numeric_limits<double>::quiet_NaN();
}

double fitted_at_level(const Distribution& dist, const MonthStats& record, double level) {
  const double at_key = percentile(dist, record, level);
  if (!std::isnan(at_key) || std::isnan(level)) return at_key;
  // Not in the table (a NaN from the table itself is a figure of its own: its key is there).
  const double rounded = std::floor(level * 10 + 0.49999);
  for (const ZEntry& entry : kZTable) {
    if (entry.key == rounded) return at_key;
  }
  const double z = normal_quantile(level / 100);
  return back_transform(dist, record.mean + z * record.std_dev);
}

}  // namespace pctlfit
