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

// "column 181 (SB181)", or "column 181" where the column has no heading: how warnings and
// summaries name a column.
std::string column_name(int column, const std::vector<std::string>& headings);

// A transformed value that comes from a value at or below the bound: the logarithm gave -inf (at
// the bound) or NaN (below it).
inline bool is_at_or_below_bound(double transformed) {
  return !(transformed > -std::numeric_limits<double>::infinity());
}

// The warning lines, each ending in a newline: first the columns with values at or below the
// bound (LN2 and LN3 only; `counts` holds how many per column and month), then the columns with
// months without values; at most `limit` lines of each kind, then one line that counts the rest.
// A column is named with its heading from `headings` (the first file's; may be empty).
// `zeros`: with --zeros, the values at the bound, which a month of only those has.
std::vector<std::string> domain_warnings(const StatsTable& table, const CellCounts& counts,
                                         const Distribution& dist,
                                         const std::vector<std::string>& headings = {},
                                         int limit = 20, const CellCounts* zeros = nullptr);

// NV only: the columns whose values are all at or above 0 in a month whose fitted 5 % figure
// lies below 0 (negative discharges from a normal fit), with those months; at most `limit`
// lines, then one that counts the rest. The table need not be finalised.
std::vector<std::string> negative_fit_warnings(const StatsTable& table, const Distribution& dist,
                                               const std::vector<std::string>& headings = {},
                                               int limit = 20);

}  // namespace pctlfit
