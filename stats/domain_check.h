#pragma once
// Tells the user about figures that come out non-finite or zero by the formulas: values at or
// below the log-normal bound, and months without any value. The figures themselves stay as the
// formulas give them; these are words on standard error only.

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "stats/distribution.h"
#include "stats/month_stats.h"

namespace pctlfit {

// How many accumulated values lay at or below the bound, per column and month (laid out like
// the StatsTable).
struct BoundCounts {
  int columns = 0;
  std::vector<uint32_t> counts;
};

// Zero counts for `columns` columns and 12 months (none if columns < 1).
BoundCounts allocate_bound_counts(int columns);

// The index of (column 1..columns, month 1..12) in `counts.counts`.
inline size_t bound_index(const BoundCounts& counts, int column, int month) {
  return static_cast<size_t>(month - 1) * static_cast<size_t>(counts.columns) +
         static_cast<size_t>(column - 1);
}

// A transformed value that comes from a value at or below the bound: the logarithm gave -inf (at
// the bound) or NaN (below it).
inline bool is_at_or_below_bound(double transformed) {
  return !(transformed > -std::numeric_limits<double>::infinity());
}

// The warning lines, each ending in a newline: first the columns with values at or below the
// bound (LN2 and LN3 only), then the columns with months without values; at most `limit` lines
// of each kind, then one line that counts the rest.
std::vector<std::string> domain_warnings(const StatsTable& table, const BoundCounts& counts,
                                         const Distribution& dist, int limit = 20);

}  // namespace pctlfit
