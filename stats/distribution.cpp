#include "stats/distribution.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "stats/normal_quantile.h"
#include "stats/z_table.h"

namespace pctlfit {

double back_transform(const Distribution& dist, double x) {
  switch (family_of(dist.mode).scale) {
    case FitScale::values:
      return x;
    case FitScale::log_values:
      return std::exp(x);
    case FitScale::log_above_limit:
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

namespace {

// The z table's entry for the percentage p by its key, floor(p * 10 + 0.49999); null for none.
const ZEntry* z_entry(double p) {
  const double rounded = std::floor(p * 10 + 0.49999);
  // Outside the table's range (or NaN): no key, and no undefined conversion to int.
  if (!(rounded >= 0.0 && rounded <= 1000.0)) return nullptr;
  const int key = static_cast<int>(rounded);
  for (const ZEntry& entry : kZTable) {
    if (entry.key == key) return &entry;
  }
  return nullptr;
}

double percentile_of(const Distribution& dist, const MonthStats& record, const ZEntry& entry) {
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
  return std::numeric_limits<double>::quiet_NaN();
}

// The z table's entry for exactly the percentage `level` (0.1, 5, 99.5, ...); null for any
// other level, whose figure then comes from the exact quantile rather than a neighbour's
// constant (0.15 % is not the 0.1 % figure).
const ZEntry* exact_z_entry(double level) {
  for (const ZEntry& entry : kZTable) {
    if (level == entry.key / 10.0) return &entry;
  }
  return nullptr;
}

}  // namespace

double percentile(const Distribution& dist, const MonthStats& record, double p) {
  const ZEntry* entry = z_entry(p);
  return entry != nullptr ? percentile_of(dist, record, *entry)
                          : std::numeric_limits<double>::quiet_NaN();
}

double log_normal_bound(const Distribution& dist) {
  return has_lower_limit(dist.mode) ? dist.lower_limit : 0.0;
}

double mixed_at_level(const Distribution& dist, const MonthStats& record, uint64_t at_bound,
                      double level) {
  if (at_bound == 0) return fitted_at_level(dist, record, level);
  const double p = level / 100;
  const double p0 = double(at_bound) / (record.count + double(at_bound));
  if (record.count == 0 || p <= p0) return log_normal_bound(dist);
  // A derived probability takes the exact quantile always: the table's rounded constant at the
  // few q that hit a key exactly would make a jump where every neighbouring q is exact.
  const double q = (p - p0) / (1 - p0);
  return back_transform(dist, record.mean + normal_quantile(q) * record.std_dev);
}

double mixed_min(const Distribution& dist, const MonthStats& record, uint64_t at_bound) {
  if (at_bound == 0) return month_min(dist, record);
  const double bound = log_normal_bound(dist);
  return record.count == 0 ? bound : std::min(bound, month_min(dist, record));
}

double mixed_max(const Distribution& dist, const MonthStats& record, uint64_t at_bound) {
  if (at_bound == 0 || record.count > 0) return month_max(dist, record);
  return log_normal_bound(dist);
}

double fitted_at_level(const Distribution& dist, const MonthStats& record, double level) {
  if (const ZEntry* entry = exact_z_entry(level)) return percentile_of(dist, record, *entry);
  if (std::isnan(level)) return level;
  const double z = normal_quantile(level / 100);
  return back_transform(dist, record.mean + z * record.std_dev);
}

}  // namespace pctlfit
