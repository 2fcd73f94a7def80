#pragma once
// --compare-fits' tally: each pooled value into the sums of the modes other than the run's, on
// their own scales (the values as read, their logarithms), in record order as the table's.

#include "passes/engine/tally.h"
#include "stats/fit_comparison.h"

namespace pctlfit {

Tally comparison_tally(FitComparison& comparison);

}  // namespace pctlfit
