#pragma once
// One word per column and month that says how far its figures can be trusted, for a script to
// filter on: no values, too few for a spread, no fit (the figures are not finite, or collapse to
// the log-normal bound because values lie at or below it), a fit the check finds implausible, or
// none of these.

#include <cstdint>
#include <string_view>

#include "stats/cell_fit.h"
#include "stats/distribution.h"
#include "stats/month_stats.h"

namespace pctlfit {

enum class CellFlag { empty, few, no_fit, misfit, ok };

// The flag of a finalised cell with `at_or_below_bound` of its values at or below the bound;
// `misfit` as the fit check judged it (false without the check); with --zeros, `zeros` values
// exactly at the bound are a mass of their own (a cell of only those has figures: the bound);
// `fit` the cell's family fit where the table's own normal does not give its figures.
CellFlag cell_flag(const Distribution& dist, const MonthStats& cell, uint64_t at_or_below_bound,
                   bool misfit, uint64_t zeros = 0, const CellFit* fit = nullptr);

// "empty", "few", "no fit", "misfit", "ok".
std::string_view flag_word(CellFlag flag);

}  // namespace pctlfit
